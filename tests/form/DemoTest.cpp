// SPDX-License-Identifier: GPL-3.0-or-later
// The demo pack of --demo: only an empty emulated card gets it, written
// through the queue and Write.
#include <gtest/gtest.h>

#include <filesystem>

#include "GameFiles.h"
#include "ProgramResources.h"
#include "WindowRig.h"
#include "app/CommandLine.h"

namespace {

// A pack starts with the boot menu the program carries.
const bool MenuRegistered = [] {
  RegisterResources(ProgramResources());
  return true;
}();

std::vector<std::string> DemoGames() {
  std::vector<std::string> Games;
  for (const char* Name : {"demo32.gb", "demo64.gb", "demo128.gb", "demo32save.gb"})
    Games.push_back(std::string(FQ_GAMES_DIR) + "/" + Name);
  return Games;
}

std::vector<std::string> CardTitles(TMainForm& Form) {
  std::vector<std::string> Titles;
  for (int I = 0; I < Form.lvCardRom->RowCount(); ++I)
    Titles.push_back(TWindowRig::Cell(*Form.lvCardRom, I, 0));
  return Titles;
}

TEST(Demo, AnEmptyCardGetsThePackAndAFullOneKeepsItsGames) {
  for (const std::string& Game : DemoGames())
    if (!std::filesystem::exists(Game)) GTEST_SKIP() << "the demo games are not built: " << Game;
  {
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    EXPECT_TRUE(Rig.Form->WriteDemoPack(DemoGames()));
    EXPECT_EQ(CardTitles(*Rig.Form),
              (std::vector<std::string>{"FQ DEMO FOUR", "FQ DEMO ONE", "FQ DEMO TWO", "FQ DEMO THREE"}));
    EXPECT_TRUE(Rig.Form->Queue().Empty());
    EXPECT_EQ(Rig.Form->lvROMs->RowCount(), 0);
    EXPECT_TRUE(Rig.Dialogs.Messages.empty());
    EXPECT_EQ(Rig.Form->FrontEnd().StatusText(1).rfind("Write complete.", 0), 0u) << Rig.Form->FrontEnd().StatusText(1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Rig.Card.Flash() + 0x134), 5), "VA16Z");
  }
  {
    TWindowRig Rig;
    Rig.PutGame(0x8000, "MINE", 0);
    ASSERT_TRUE(Rig.Start());
    Rig.SentCodes();
    EXPECT_FALSE(Rig.Form->WriteDemoPack(DemoGames()));
    EXPECT_EQ(Rig.SentCodes(), "");
    EXPECT_EQ(CardTitles(*Rig.Form), std::vector<std::string>{"MINE"});
  }
}

TEST(Demo, TheOptionNeedsTheEmulatedCard) {
  const char* Alone[] = {"flashquill", "--demo"};
  EXPECT_FALSE(ParseCommandLine(2, Alone).Error.empty());
  const char* Emulated[] = {"flashquill", "--emulate=/tmp/x", "--demo"};
  const TCommandLine Line = ParseCommandLine(3, Emulated);
  EXPECT_TRUE(Line.Error.empty());
  EXPECT_TRUE(Line.Demo);
  EXPECT_TRUE(Line.Arguments.empty());
}

}  // namespace
