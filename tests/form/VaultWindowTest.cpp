// SPDX-License-Identifier: GPL-3.0-or-later
// The save vault in the window: a backup before the format, the list and the
// restore from the card list's popup menu, and the question when no backup
// can be made.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "DataHome.h"
#include "GameFiles.h"
#include "WindowRig.h"
#include "tests/support/Wire.h"
#include "core/vault/SaveVault.h"

namespace {

class VaultWindow : public ::testing::Test {
protected:
  TGameFolder Files;
  TDataHome Home{Files.Root()};
  TWindowRig Rig;
  TMainForm& Form() { return *Rig.Form; }
  void FillSram(uint8_t Seed) {
    for (uint32_t I = 0; I < TCard::SramSize; ++I) Rig.Card.Sram()[I] = static_cast<uint8_t>(I * 11 + Seed + (I >> 10));
  }
  std::vector<uint8_t> Sram() { return std::vector<uint8_t>(Rig.Card.Sram(), Rig.Card.Sram() + TCard::SramSize); }
  static bool Has(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }
};

}  // namespace

TEST_F(VaultWindow, TheFormatKeepsTheSaveAndRestoreWritesItBack) {
  Rig.PutGame(0, "KEPT GAME", 0);
  ASSERT_TRUE(Rig.Start());
  FillSram(4);
  const std::vector<uint8_t> Before = Sram();
  const size_t Had = TSaveVault().Entries().size();
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().btnEraseChip->Click();
  const std::vector<TVaultEntry> After = TSaveVault().Entries();
  ASSERT_EQ(After.size(), Had + 1);
  const TVaultEntry& Kept = After.back();
  EXPECT_EQ(Kept.Titles, std::vector<std::string>{"KEPT GAME"}) << "named after the card list's games";
  EXPECT_EQ(Kept.Before, "format");
  const std::string File = TSaveVault().PathOf(Kept);
  EXPECT_EQ(ReadBytes(File), Before);
  EXPECT_TRUE(Has(Rig.Panel(1), File)) << Rig.Panel(1);

  // The list, newest first, with the titles.
  Rig.Dialogs.Messages.clear();
  ASSERT_TRUE(Rig.Click(Form().Backups1));
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  const std::string List = Rig.Dialogs.Messages[0].Text;
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_INFO);
  EXPECT_EQ(List.rfind("1.  ", 0), 0u) << List;
  EXPECT_TRUE(Has(List, "KEPT GAME")) << List;
  EXPECT_TRUE(Has(List, Kept.Sha1)) << List;

  // Restore: the chooser opens in the vault; No leaves the save RAM alone.
  std::memset(Rig.Card.Sram(), 0x66, TCard::SramSize);
  Rig.Dialogs.Messages.clear();
  Rig.Dialogs.OpenAnswers = {{File}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  Form().Restore1->Click();
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_QUESTION);
  EXPECT_TRUE(Has(Rig.Dialogs.Messages[0].Text, "KEPT GAME")) << Rig.Dialogs.Messages[0].Text;
  EXPECT_EQ(Rig.Card.Sram()[0], 0x66);

  Rig.Dialogs.OpenAnswers = {{File}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().Restore1->Click();
  EXPECT_EQ(Sram(), Before) << "the backup is on the card again";
  EXPECT_TRUE(Has(Rig.Panel(1), "Write complete.")) << Rig.Panel(1);
  // What it overwrote is kept too.
  const std::vector<TVaultEntry> Now = TSaveVault().Entries();
  ASSERT_EQ(Now.size(), Had + 2);
  EXPECT_EQ(ReadBytes(TSaveVault().PathOf(Now.back())), std::vector<uint8_t>(TCard::SramSize, 0x66));
  EXPECT_EQ(Now.back().Before, "restore");
  EXPECT_EQ(Form().btnWriteSRAM->Caption(), "&Write SRAM");
  EXPECT_FALSE(Form().State().Operating);
}

TEST_F(VaultWindow, RestoreRefusesAFileThatIsNoBackupOfTheVault) {
  ASSERT_TRUE(Rig.Start());
  WriteBytes(Files.Path("sram-elsewhere.sav"), std::vector<uint8_t>(TCard::SramSize, 1));
  FillSram(2);
  const std::vector<uint8_t> Before = Sram();
  Rig.Cable.TakeLog();
  Rig.Dialogs.OpenAnswers = {{Files.Path("sram-elsewhere.sav")}};
  Form().Restore1->Click();
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_ERROR);
  EXPECT_TRUE(Has(Rig.Dialogs.Messages[0].Text, "Nothing was written")) << Rig.Dialogs.Messages[0].Text;
  EXPECT_EQ(Sram(), Before);
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)).find_first_of("WMm"), std::string::npos);
}

#ifndef _WIN32
// Where the data folder is the test's own: a file where the vault's folder
// should be, so no backup can be made.
TEST_F(VaultWindow, NoBackupAsksAndOnlyYesWritesWithoutOne) {
  ASSERT_TRUE(Rig.Start());
  std::filesystem::create_directories(Files.Path("flashquill"));
  WriteBytes(Files.Path("flashquill/backups"), {1});
  WriteBytes(Files.Path("new.sav"), std::vector<uint8_t>(0x100, 0x5C));
  for (const int Answer : {MB_RESULT_NO, MB_RESULT_YES}) {
    SCOPED_TRACE(Answer == MB_RESULT_YES ? "yes" : "no");
    FillSram(9);
    const std::vector<uint8_t> Before = Sram();
    Rig.Dialogs.Messages.clear();
    Rig.Dialogs.OpenAnswers = {{Files.Path("new.sav")}};
    Rig.Dialogs.MessageAnswers = {MB_RESULT_YES, Answer};   // write the save RAM; go on without a backup
    Form().btnWriteSRAM->Click();
    ASSERT_GE(Rig.Dialogs.Messages.size(), 2u);
    const auto& Asked = Rig.Dialogs.Messages[1];
    EXPECT_EQ(Asked.Flags, MB_FLAGS_QUESTION);
    EXPECT_TRUE(Has(Asked.Text, "could not be backed up")) << Asked.Text;
    EXPECT_TRUE(Has(Asked.Text, Files.Path("flashquill/backups"))) << Asked.Text;
    if (Answer == MB_RESULT_NO) {
      EXPECT_EQ(Sram(), Before) << "nothing written";
      EXPECT_TRUE(Has(Rig.Panel(1), "nothing was written")) << Rig.Panel(1);
    } else {
      EXPECT_EQ(Rig.Card.Sram()[0], 0x5C);
      EXPECT_TRUE(Has(Rig.Panel(1), "Write complete.")) << Rig.Panel(1);
    }
  }
}
#endif
