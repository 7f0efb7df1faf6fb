// SPDX-License-Identifier: GPL-3.0-or-later
// The window where it meets the file system: files that are no regular
// files, the boot menu's limit, test files too short to test anything, and
// saves refused before they are backed up.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "DataHome.h"
#include "GameFiles.h"
#include "WindowRig.h"
#include "tests/support/Wire.h"

namespace {

namespace fs = std::filesystem;

class Edges : public ::testing::Test {
protected:
  TWindowRig Rig;
  TGameFolder Files;
  TDataHome Data{Files.Path("data")};
  TMainForm& Form() { return *Rig.Form; }
  // The data commands that reached the card ('W', 'M') since the last call.
  bool CardWritten() {
    const std::string Codes = CodesOf(SentCommands(Rig.Cable));
    return Codes.find_first_of("WM") != std::string::npos;
  }
};

// A pipe as a game is refused before it is opened (it would hang the
// window), and the queue stops at the 99 games the boot menu lists.
TEST_F(Edges, TheQueueTakesOnlyRegularFilesAndNoMoreGamesThanTheMenuLists) {
  ASSERT_TRUE(Rig.Start());
#ifndef _WIN32
  // Windows has no named pipes in the file system's folders.
  ASSERT_EQ(::mkfifo(Files.Path("pipe.gb").c_str(), 0600), 0);
  Form().AddGameFile(Files.Path("pipe.gb"));
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Not a regular file!\r\n" + Files.Path("pipe.gb"));
  EXPECT_EQ(Form().lvROMs->RowCount(), 0);
#endif

  Rig.Dialogs.Messages.clear();
  for (int I = 0; I < 100; ++I)
    Form().AddGameFile(Files.Game("g" + std::to_string(I) + ".gb", "G" + std::to_string(I), 0, static_cast<uint8_t>(I)));
  EXPECT_EQ(Form().lvROMs->RowCount(), 99);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text.rfind("The boot menu lists at most 99 games!\r\n" + Files.Path("g99.gb"), 0),
            0u)
      << Rig.Dialogs.Messages[0].Text;
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_ERROR);
}

// Files the card work would only pretend to handle are refused with the
// card untouched and no backup taken.
TEST_F(Edges, FilesThatCannotBeWrittenAreRefusedBeforeTheCardIsTouched) {
  WriteBytes(Files.Path("empty.sav"), {});
  WriteBytes(Files.Path("big.sav"), std::vector<uint8_t>(TCard::SramSize + 1, 3));
  const struct {
    const char* What;
    std::string File;
    std::string Box;
  } Cases[] = {
      {"an empty save", Files.Path("empty.sav"), "Nothing to write: the file is empty!\r\n" + Files.Path("empty.sav")},
      {"a save too large", Files.Path("big.sav"), "Save file too large!\r\nThe save RAM holds 131072 bytes."},
  };
  ASSERT_TRUE(Rig.Start());
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Rig.Dialogs.Messages.clear();
    Rig.Cable.TakeLog();
    Rig.Dialogs.OpenAnswers = {{C.File}};
    Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
    Form().btnWriteSRAM->Click();
    ASSERT_EQ(Rig.Dialogs.Messages.size(), 2u);   // the question, then the refusal
    EXPECT_EQ(Rig.Dialogs.Messages[1].Text.rfind(C.Box, 0), 0u) << Rig.Dialogs.Messages[1].Text;
    EXPECT_FALSE(CardWritten());
    EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)).find('m'), std::string::npos) << "the save RAM was read for a backup";
    EXPECT_FALSE(fs::exists(Files.Path("data/flashquill/backups")));
  }
}

// A flash test of an empty file, or one shorter than a write packet, would
// wipe the page and end "OK" having tested nothing.
TEST_F(Edges, ATestFileTooShortFailsWithTheCardUntouched) {
  ASSERT_TRUE(Rig.Start({"/rom"}));
  for (const size_t Size : {size_t{0}, size_t{31}}) {
    SCOPED_TRACE(Size);
    const std::string File = Files.Path("test" + std::to_string(Size) + ".gb");
    WriteBytes(File, std::vector<uint8_t>(Size, 0x5A));
    Rig.Cable.TakeLog();
    Form().edTestSRAM->SetText(File);
    Form().btnTestSRAM->Click();
    EXPECT_EQ(Form().labCheckSRAM->Caption(), "FAILED");
    EXPECT_NE(Rig.Panel(1).find("at least 32 bytes"), std::string::npos) << Rig.Panel(1);
    EXPECT_FALSE(CardWritten());
  }
}

}  // namespace
