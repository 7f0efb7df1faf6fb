// SPDX-License-Identifier: GPL-3.0-or-later
// Safe card work in the window: writes verified unless switched off, the
// outcome kept in panel 1 after the closing identification, a cut-short
// write or format said with what it left, the header question on queueing,
// and Write SRAM asking first and backing the save up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "DataHome.h"
#include "GameFiles.h"
#include "ProgramResources.h"
#include "WindowRig.h"
#include "app/CommandLine.h"
#include "core/queue/HeaderCheck.h"
#include "core/support/Resources.h"
#include "core/transfer/PartialWrite.h"
#include "tests/support/Wire.h"

namespace fs = std::filesystem;

namespace {

const bool MenuRegistered = [] {
  RegisterResources(ProgramResources());
  return true;
}();

class Safety : public ::testing::Test {
protected:
  TGameFolder Files;
  TDataHome DataHome{Files.Path("data")};
  TWindowRig Rig;
  TMainForm& Form() { return *Rig.Form; }
  void Start() {
    ASSERT_TRUE(Rig.Start());
    Rig.Cable.TakeLog();
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> Texts;
    for (const auto& Message : Rig.Dialogs.Messages) Texts.push_back(Message.Text);
    return Texts;
  }
  static bool Has(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }
};

TEST_F(Safety, VerifyCatchesAWeakCellUnlessSwitchedOff) {
  Start();
  EXPECT_TRUE(Form().Verify1->Checked());   // on by default
  EXPECT_EQ(Form().Verify1->Caption(), "&Verify after writing");
  Form().AddGameFile(Files.Game("weak.gb", "WEAK", 0));
  Rig.Card.SetWeakCell(0x1234, 0x01);
  Rig.Cable.TakeLog();
  Form().btnWrite->Click();
  EXPECT_NE(CodesOf(SentCommands(Rig.Cable)).find('R'), std::string::npos);   // read back
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_ERROR);
  EXPECT_TRUE(Has(Rig.Dialogs.Messages[0].Text, "Verify failed")) << Rig.Dialogs.Messages[0].Text;
  EXPECT_TRUE(Has(Rig.Dialogs.Messages[0].Text, "0x001234")) << Rig.Dialogs.Messages[0].Text;
  EXPECT_TRUE(Has(Rig.Panel(1), "0x001234")) << Rig.Panel(1);   // kept after the closing identification

  // Switched off in the queue's menu: written without a read-back, "complete".
  ASSERT_TRUE(Rig.Click(Form().Verify1));
  EXPECT_FALSE(Form().Verify1->Checked());
  EXPECT_FALSE(Form().VerifyWrites());
  Rig.Dialogs.Messages.clear();
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};   // the overwrite question
  Rig.Cable.TakeLog();
  Form().btnWrite->Click();
  const std::string Codes = CodesOf(WithoutWriteChecks(SentCommands(Rig.Cable)));
  EXPECT_EQ(Squeezed(Codes), "WPDA");
  EXPECT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Panel(1).rfind("Write complete.  Time used: ", 0), 0u) << Rig.Panel(1);
}

TEST_F(Safety, TheOutcomeStaysInPanelOneAfterTheClosingIdentification) {
  Rig.PutGame(0, "ON CARD", 0);
  Start();
  Form().AddGameFile(Files.Game("good.gb", "GOOD", 0));
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().btnWrite->Click();
  EXPECT_EQ(Rig.Panel(1).rfind("Write complete.  Time used: ", 0), 0u) << Rig.Panel(1);

  ASSERT_GT(Form().lvCardRom->RowCount(), 0);
  Form().lvCardRom->SetSelected(0, true);
  Rig.Dialogs.SaveAnswers = {Files.Path("back.gb")};
  Form().btnRead->Click();
  EXPECT_EQ(Rig.Panel(1).rfind("Read complete.  Time used: ", 0), 0u) << Rig.Panel(1);
}

// A link failure in the middle of a pack write or a format: a box says what
// the page holds now, panel 1 keeps the error.
TEST_F(Safety, AnUnplugMidWaySaysWhatTheWriteOrFormatLeft) {
  for (const bool Pack : {true, false}) {
    SCOPED_TRACE(Pack ? "pack" : "format");
    TGameFolder Games;
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    std::vector<std::string> Said;
    long UnplugAfter = 0;
    if (Pack) {
      Rig.Form->AddGameFile(Games.Game("a.gb", "PACK A", 0, 1));
      Rig.Form->AddGameFile(Games.Game("b.gb", "PACK B", 1, 2));
      Rig.Form->AddGameFile(Games.Game("c.gb", "PACK C", 2, 3));
      ASSERT_EQ(Rig.Form->Queue().Count(), 3u);
      // Cut in the middle of the second game placed: 128 format packets,
      // then 32-byte data packets, one exchange each.
      std::vector<TPlacedGame> Placed = PlacedGames(Rig.Form->Queue().Rows());
      ASSERT_EQ(Placed.size(), 3u);
      std::sort(Placed.begin(), Placed.end(), [](const TPlacedGame& L, const TPlacedGame& R) { return L.Offset < R.Offset; });
      UnplugAfter = SaveBackupTransfers + 128 + long(Placed[1].Offset + Placed[1].Size / 2) / 32;
      Said = {"Page NO. 1 (32M) holds only part of the image now", "Complete: \"" + Placed[0].Title + "\"",
              "Cut short, will not run: \"" + Placed[1].Title + "\"", "Missing: \"" + Placed[2].Title + "\"",
              "Write the games again, or format the page."};
    } else {
      Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
      UnplugAfter = SaveBackupTransfers + 60;
      Said = {"Page NO. 1 (32M) is now partly formatted"};
    }
    Rig.Cable.TakeLog();
    Rig.Cable.UnplugAfter(UnplugAfter);
    (Pack ? Rig.Form->btnWrite : Rig.Form->btnEraseChip)->Click();
    const auto& Messages = Rig.Dialogs.Messages;
    ASSERT_FALSE(Messages.empty());
    const std::string Box = Messages.back().Text;
    EXPECT_EQ(Messages.back().Flags, MB_FLAGS_ERROR);
    EXPECT_EQ(Box.rfind("Error Code: ", 0), 0u) << Box;
    for (const std::string& Part : Said) EXPECT_TRUE(Has(Box, Part)) << Part << "\n" << Box;
    EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u) << Rig.Panel(1);
    EXPECT_FALSE(Rig.Form->State().Operating);
  }
}

TEST_F(Safety, AFileFailingTheHeaderChecksIsQueuedOnlyOnYes) {
  Start();
  std::vector<uint8_t> NoLogo = GameBytes("NO LOGO", 0x8000, 0, 1);
  NoLogo[HeaderLogoOffset] ^= 0xFF;
  WriteBytes(Files.Path("nologo.gb"), NoLogo);
  const std::string Bad = Files.Path("nologo.gb");
  const std::string Question = HeaderQuestion(Bad, CheckGameHeader(Bad));
  EXPECT_TRUE(Has(Question, "Queue it anyway?"));
  for (int Answer : {MB_RESULT_NO, MB_RESULT_YES}) {
    SCOPED_TRACE(Answer);
    Form().RemoveAllMenuExecute();
    Rig.Dialogs.Messages.clear();
    Rig.Dialogs.MessageAnswers = {Answer};
    // Through a drop, with a good file next to it: that one is not asked about.
    Form().FormDropFiles({Bad, Files.Game("good.gb", "GOOD", 0)});
    ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Messages[0].Text, Question);
    EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_QUESTION);
    EXPECT_EQ(Form().Queue().Count(), Answer == MB_RESULT_YES ? 2u : 1u);
  }
  // Add asks the same, once per failing file.
  Form().RemoveAllMenuExecute();
  Rig.Dialogs.Messages.clear();
  Rig.Dialogs.OpenAnswers = {{Bad, Bad}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO, MB_RESULT_YES};
  Form().btnAdd->Click();
  EXPECT_EQ(Rig.Dialogs.Messages.size(), 2u);
}

TEST_F(Safety, WriteSramAsksThenBacksTheSaveUpByteForByte) {
  Start();
  for (uint32_t I = 0; I < TCard::SramSize; ++I) Rig.Card.Sram()[I] = static_cast<uint8_t>(I * 13 + (I >> 8));
  const std::vector<uint8_t> Before(Rig.Card.Sram(), Rig.Card.Sram() + TCard::SramSize);
  const std::vector<uint8_t> Save(2000, 0x5A);
  WriteBytes(Files.Path("new.sav"), Save);

  Rig.Dialogs.OpenAnswers = {{Files.Path("new.sav")}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  Form().btnWriteSRAM->Click();
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_QUESTION);
  EXPECT_TRUE(Has(Rig.Dialogs.Messages[0].Text, "new.sav"));
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)).find_first_of("Mm"), std::string::npos);   // nothing read or written
  EXPECT_FALSE(fs::exists(Files.Path("data/flashquill/backups")) && !fs::is_empty(Files.Path("data/flashquill/backups")));

  Rig.Dialogs.OpenAnswers = {{Files.Path("new.sav")}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().btnWriteSRAM->Click();
  EXPECT_TRUE(std::equal(Save.begin(), Save.end(), Rig.Card.Sram()));
  std::vector<fs::path> Backups;
  for (const auto& Entry : fs::directory_iterator(Files.Path("data/flashquill/backups"))) Backups.push_back(Entry.path());
  ASSERT_EQ(Backups.size(), 1u);
  EXPECT_EQ(Backups.front().filename().string().rfind("sram-", 0), 0u);
  EXPECT_EQ(ReadBytes(Backups.front().string()), Before);
  EXPECT_TRUE(Has(Rig.Panel(1), "Write complete.")) << Rig.Panel(1);
  EXPECT_TRUE(Has(Rig.Panel(1), Backups.front().string())) << Rig.Panel(1);   // named to the user
}

// The fault rehearsals are refused without the emulated cable; --help shows them.
TEST(SafetyOptions, TestAidsNeedTheEmulatedCableAndAreInTheHelp) {
  const struct {
    std::vector<const char*> Args;
    bool Refused;
  } Cases[] = {
      {{"fq", "--emulate-unplug-after=5"}, true},
      {{"fq", "--emulate-weak-cell=0x100:1"}, true},
      {{"fq", "--emulate", "--emulate-unplug-after=5"}, false},
      {{"fq", "--emulate", "--emulate-weak-cell=0x100:1"}, false},
      {{"fq", "--emulate-flip"}, true},
      {{"fq", "--emulate", "--emulate-flip"}, false},
  };
  for (const auto& Case : Cases) {
    const TCommandLine Line = ParseCommandLine(static_cast<int>(Case.Args.size()), Case.Args.data());
    EXPECT_EQ(!Line.Error.empty(), Case.Refused) << Case.Args.back() << ": " << Line.Error;
  }
  EXPECT_NE(CommandLineUsage("fq").find("--emulate-unplug-after=N"), std::string::npos);
  EXPECT_NE(CommandLineUsage("fq").find("--emulate-weak-cell=ADDRESS:MASK"), std::string::npos);
  EXPECT_NE(CommandLineUsage("fq").find("--emulate-flip"), std::string::npos);
}

}  // namespace
