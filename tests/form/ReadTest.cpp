// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the card into files from the window: one game, several into a
// folder (with a Stop), odd titles, the save RAM and the advanced read.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "GameFiles.h"
#include "WindowRig.h"
#include "tests/support/Wire.h"

namespace {

class Read : public ::testing::Test {
protected:
  TWindowRig Rig;
  TGameFolder Files;
  TMainForm& Form() { return *Rig.Form; }
  // A whole game on the card at a flash address.
  std::vector<uint8_t> PutGame(uint32_t Address, const std::string& Title, uint8_t SizeCode, uint8_t Seed) {
    const std::vector<uint8_t> Bytes = GameBytes(Title, 0x8000u << SizeCode, SizeCode, Seed);
    std::memcpy(Rig.Card.Flash() + Address, Bytes.data(), Bytes.size());
    return Bytes;
  }
  void Start() {
    ASSERT_TRUE(Rig.Start());
    Rig.Cable.TakeLog();
  }
  void SelectRows(std::initializer_list<int> Rows) {
    for (int Row : Rows) Form().lvCardRom->SetSelected(Row, true);
  }
};

TEST_F(Read, OneGameGoesToTheChosenFileByteForByte) {
  PutGame(0, "FIRST", 0, 1);
  const std::vector<uint8_t> Second = PutGame(0x8000, "SECOND", 0, 2);
  Start();
  ASSERT_EQ(Form().lvCardRom->RowCount(), 2);
  SelectRows({1});
  const std::string Target = Files.Path("chosen.gb");
  Rig.Dialogs.SaveAnswers = {Target};
  Form().btnRead->Click();

  EXPECT_EQ(Rig.Dialogs.InitialPaths.back(), "SECOND.gb");
  EXPECT_EQ(Rig.Dialogs.Filters.back(), "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*");
  EXPECT_EQ(ReadBytes(Target), Second);
  const std::vector<TSentCommand> Sent = SentCommands(Rig.Cable);
  EXPECT_EQ(CodesOf(Sent), "RRRRRRRRD");   // eight pieces of 4096 bytes, then the closing identification
  EXPECT_EQ(Sent.front().Address, 0x8000u);
  EXPECT_EQ(Form().btnRead->Caption(), "&Read");
  // The closing identification empties it; the outcome is shown again.
  EXPECT_EQ(Rig.Panel(1).rfind("Read complete.  Time used: ", 0), 0u) << Rig.Panel(1);
}

TEST_F(Read, AStopDuringTheSecondOfThreeGamesEndsTheWholeRead) {
  const std::vector<uint8_t> First = PutGame(0, "ALPHA", 0, 1);
  PutGame(0x8000, "BRAVO", 0, 2);
  PutGame(0x10000, "CHARLIE", 0, 3);
  Start();
  SelectRows({0, 1, 2});
  Rig.Dialogs.FolderAnswers = {Files.Root()};
  const std::string Second = Files.Path("BRAVO.GB");
  // The second game goes into a temporary beside BRAVO.GB until it is whole.
  uintmax_t Partial = 0;
  Rig.Binding.OnEachPass = [&] {
    std::error_code Ignored;
    for (const auto& Entry : std::filesystem::directory_iterator(Files.Root(), Ignored))
      if (Entry.path().filename().string().rfind(".BRAVO.GB.", 0) == 0)
        Partial = std::filesystem::file_size(Entry.path(), Ignored);
    if (Partial >= 8192) {
      Rig.Binding.OnEachPass = nullptr;
      Rig.Click(Form().btnRead);
    }
  };
  Form().btnRead->Click();

  EXPECT_EQ(Rig.Dialogs.FolderTitles, std::vector<std::string>{"Select save directory"});
  EXPECT_EQ(ReadBytes(Files.Path("ALPHA.GB")), First);
  EXPECT_GE(Partial, 8192u);
  EXPECT_LT(Partial, 32768u);
  EXPECT_EQ(Partial % 4096, 0u);
  // The game cut short leaves no file, nor its temporary.
  EXPECT_FALSE(std::filesystem::exists(Second));
  for (const auto& Entry : std::filesystem::directory_iterator(Files.Root()))
    EXPECT_NE(Entry.path().filename().string().rfind(".BRAVO.GB.", 0), 0u) << Entry.path();
  EXPECT_FALSE(std::filesystem::exists(Files.Path("CHARLIE.GB")));
  EXPECT_EQ(Form().btnRead->Caption(), "&Read");
  EXPECT_FALSE(Form().State().Operating);
  EXPECT_TRUE(Form().pMain->Enabled());
}

TEST_F(Read, TitlesAFileNameCannotHoldStillGiveFiles) {
  const std::vector<uint8_t> Bad = PutGame(0, "A/B:C*D?", 0, 1);
  const std::vector<uint8_t> Empty = PutGame(0x8000, "", 0, 2);
  const std::vector<uint8_t> Latin = PutGame(0x10000, "CAF\xC9", 0, 3);
  Start();
  ASSERT_EQ(Form().lvCardRom->RowCount(), 3);
  EXPECT_EQ(TWindowRig::Cell(*Form().lvCardRom, 2, 0), "CAFÉ");

  SelectRows({0});
  Rig.Dialogs.SaveAnswers = {""};
  Form().btnRead->Click();
  EXPECT_EQ(Rig.Dialogs.InitialPaths.back(), "A_B_C_D_.gb");

  SelectRows({1, 2});
  Rig.Dialogs.FolderAnswers = {Files.Root()};
  Form().btnRead->Click();
  EXPECT_EQ(ReadBytes(Files.Path("A_B_C_D_.GB")), Bad);
  EXPECT_EQ(ReadBytes(Files.Path("Untitled.GB")), Empty);
  EXPECT_EQ(ReadBytes(Files.Path("CAFÉ.GB")), Latin);
  EXPECT_TRUE(Rig.Dialogs.Messages.empty());
}

TEST_F(Read, AFileThatCannotBeMadeIsSkippedAndNamedInABox) {
  PutGame(0, "FIRST", 0, 1);
  const std::vector<uint8_t> Second = PutGame(0x8000, "SECOND", 0, 2);
  Start();
  std::filesystem::create_directory(Files.Path("FIRST.GB"));   // a folder stands where the file would go
  SelectRows({0, 1});
  Rig.Dialogs.FolderAnswers = {Files.Root()};
  Form().btnRead->Click();
  EXPECT_EQ(ReadBytes(Files.Path("SECOND.GB")), Second);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "File create error!\r\n" + Files.Path("FIRST.GB") + ": Is a directory");
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 16);
}

TEST_F(Read, SaveRamOnThePageTwoGoesFromItsBase) {
  for (uint32_t I = 0; I < TCard::SramSize; ++I) Rig.Card.Sram()[I] = static_cast<uint8_t>(I * 13 + (I >> 10));
  Start();
  Rig.Binding.UserChoose(*Form().cbPart, 1);
  Rig.Cable.TakeLog();
  const std::string Target = Files.Path("save.sav");
  Rig.Dialogs.SaveAnswers = {Target};
  Form().btnReadSRAM->Click();

  EXPECT_EQ(Rig.Dialogs.Filters.back(), "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*");
  const std::vector<TSentCommand> Sent = SentCommands(Rig.Cable);
  ASSERT_EQ(CodesOf(Sent), std::string(32, 'm') + "D");
  for (size_t I = 0; I < 32; ++I) {
    EXPECT_EQ(Sent[I].Address, 0x400000u + I * 4096);
    EXPECT_EQ(Sent[I].Length, 4096u);
  }
  EXPECT_EQ(ReadBytes(Target), std::vector<uint8_t>(Rig.Card.Sram(), Rig.Card.Sram() + TCard::SramSize));
  EXPECT_EQ(Form().btnReadSRAM->Caption(), "&Read SRAM");

  // The dialog offers the file it held last.
  Rig.Dialogs.SaveAnswers = {""};
  Form().btnReadSRAM->Click();
  EXPECT_EQ(Rig.Dialogs.InitialPaths.back(), Target);
}

TEST_F(Read, TheAdvancedReadOfEightMegabytesFromPageTwo) {
  Start();
  Rig.Binding.UserChoose(*Form().cbPart, 1);
  ASSERT_EQ(Form().cbSize->Text(), "8192K(8M)");   // chosen for the known chip
  for (uint32_t I = 0; I < TCard::FlashSize; I += 4096) Rig.Card.Flash()[I] = static_cast<uint8_t>(I >> 12);
  Rig.Cable.TakeLog();
  const std::string Target = Files.Path("raw.bin");
  Form().Edit1->SetText(Target);
  Form().btnReadAll->SetEnabled(true);
  Form().btnReadAll->Click();

  const std::vector<TSentCommand> Sent = SentCommands(Rig.Cable);
  ASSERT_EQ(Sent.size(), 2049u);
  EXPECT_EQ(Sent.front().Address, 0x400000u);
  EXPECT_EQ(Sent[2047].Address, 0xBFF000u);   // past the chip: the card's address lines wrap
  const std::vector<uint8_t> File = ReadBytes(Target);
  ASSERT_EQ(File.size(), 0x800000u);
  EXPECT_EQ(File[0], Rig.Card.Flash()[0x400000]);
  EXPECT_EQ(File[0x400000 + 4096], Rig.Card.Flash()[4096]);
  EXPECT_EQ(Form().btnReadAll->Caption(), "&Read");
}

// Every way of cancelling a read's dialog: nothing is sent and the window stays as it was.
TEST_F(Read, ACancelledDialogSendsNothing) {
  PutGame(0, "FIRST", 0, 1);
  PutGame(0x8000, "SECOND", 0, 2);
  Start();
  struct TCase {
    const char* Name;
    std::function<void()> Click;
  };
  const TCase Cases[] = {
      {"one game", [&] { SelectRows({0}); Form().btnRead->Click(); }},
      {"several games", [&] { SelectRows({0, 1}); Form().btnRead->Click(); }},
      {"save RAM", [&] { Form().btnReadSRAM->Click(); }},
      {"advanced read without a file", [&] {
         Form().Edit1->SetText("");
         Form().btnReadAll->SetEnabled(true);
         Form().btnReadAll->Click();
       }},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const size_t Asked = Rig.Dialogs.Filters.size() + Rig.Dialogs.FolderTitles.size();
    Case.Click();
    EXPECT_EQ(Rig.Dialogs.Filters.size() + Rig.Dialogs.FolderTitles.size(), Asked + 1);
    EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)), "");
    EXPECT_FALSE(Form().State().Operating);
    EXPECT_EQ(Form().btnReadSRAM->Caption(), "Read SRAM");
  }
  EXPECT_TRUE(Form().Edit1->Text().empty());
  EXPECT_TRUE(std::filesystem::is_empty(Files.Root()));
}

}  // namespace
