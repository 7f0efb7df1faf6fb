// SPDX-License-Identifier: GPL-3.0-or-later
// The window's start when its transport cannot be had: the reason in an error
// box, as a program started from the desktop menu has no standard error to
// show it on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/WindowStart.h"
#include "app/memory/ScriptedDialogs.h"
#include "emulator/CardLock.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

class WindowStart : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FFolder.Valid());
    FDir = FFolder.Path();
  }
  TTempFolder FFolder{"fq-start"};
  fs::path FDir;
};

TEST_F(WindowStart, ACardThatCannotBeUsedIsSaidInABox) {
  fs::create_directories(FDir / "damaged");
  std::ofstream(FDir / "damaged" / "flash.bin") << 'x';
  fs::create_directories(FDir / "busy");
  const TCardLock Held((FDir / "busy").string());   // another program has this card
  const struct {
    const char* What;
    std::string Dir, Trace;
    std::string Says;
  } Cases[] = {
      {"flash.bin of one byte", (FDir / "damaged").string(), "", "flash.bin"},
      {"a card in use", (FDir / "busy").string(), "", CardInUseText},
      {"a folder under a missing one", (FDir / "no/such/card").string(), "", "does not exist"},
      {"a trace that cannot be made", (FDir / "fresh").string(), (FDir / "no/trace.txt").string(), "trace"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TLinkOptions Options;
    Options.Emulate = true;
    Options.EmulateDir = C.Dir;
    Options.TraceFile = C.Trace;
    TScriptedDialogs Dialogs;
    const std::unique_ptr<TLinkPort> Port = OpenWindowPort(Options, "flashquill", Dialogs);
    EXPECT_EQ(Port, nullptr);
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Flags, MB_FLAGS_ERROR);
    EXPECT_EQ(Dialogs.Messages[0].Caption, "Flashquill");
    EXPECT_NE(Dialogs.Messages[0].Text.find(C.Says), std::string::npos) << Dialogs.Messages[0].Text;
  }
  EXPECT_FALSE(fs::exists(FDir / "no")) << "a mistyped card folder made its parents";

  // A card that can be used: no box.
  TLinkOptions Options;
  Options.Emulate = true;
  Options.EmulateDir = (FDir / "good").string();
  TScriptedDialogs Dialogs;
  EXPECT_NE(OpenWindowPort(Options, "flashquill", Dialogs), nullptr);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

}  // namespace
