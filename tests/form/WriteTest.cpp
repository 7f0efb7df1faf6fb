// SPDX-License-Identifier: GPL-3.0-or-later
// Writing from the window: the confirmation, one game on page 2, the save
// RAM, the format, a Stop and an unplug during a write, failures that only
// panel 1 would tell, and the whole road of a pack written and read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>

#include "DataHome.h"
#include "GameFiles.h"
#include "ProgramResources.h"
#include "WindowRig.h"
#include "tests/support/Wire.h"

namespace {

// A pack starts with the boot menu the program carries.
const bool MenuRegistered = [] {
  RegisterResources(ProgramResources());
  return true;
}();

class Write : public ::testing::Test {
protected:
  TGameFolder Files;
  TDataHome DataHome{Files.Path("data")};   // where Write SRAM backs the save up
  TWindowRig Rig;
  TMainForm& Form() { return *Rig.Form; }
  void Start() {
    ASSERT_TRUE(Rig.Start());
    Rig.Cable.TakeLog();
  }
  bool CardHolds(uint32_t Address, const std::vector<uint8_t>& Bytes) {
    return std::equal(Bytes.begin(), Bytes.end(), Rig.Card.Flash() + Address);
  }
  std::vector<uint32_t> CardOffsets() {
    std::vector<uint32_t> Offsets;
    for (int I = 0; I < Form().lvCardRom->RowCount(); ++I)
      Offsets.push_back(TMainForm::CardRowOf(Form().lvCardRom->Row(I)).Offset);
    return Offsets;
  }
};

TEST_F(Write, AsksBeforeOverwritingOnlyWhenTheCardListHasGames) {
  struct TCase {
    bool GameOnCard;
    int Answer;
    bool Asked;
    bool Written;
  };
  const TCase Cases[] = {{false, MB_RESULT_NO, false, true}, {true, MB_RESULT_NO, true, false}, {true, MB_RESULT_YES, true, true}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(::testing::Message() << "game on card " << Case.GameOnCard << ", answer " << Case.Answer);
    TWindowRig Rig;
    if (Case.GameOnCard) Rig.PutGame(0x200000, "OLD GAME", 0);
    ASSERT_TRUE(Rig.Start());
    Rig.Form->AddGameFile(Files.Game("new.gb", "NEW GAME", 0));
    Rig.Cable.TakeLog();
    Rig.Dialogs.MessageAnswers = {Case.Answer};
    Rig.Form->btnWrite->Click();
    const std::string Codes = CodesOf(SentCommands(Rig.Cable));
    if (Case.Asked) {
      ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
      EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Are you sure to overwrite old games in \"Page NO. 1 (32M)\"?");
      EXPECT_EQ(Rig.Dialogs.Messages[0].Caption, "Write");
      EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 36);
    } else {
      EXPECT_TRUE(Rig.Dialogs.Messages.empty());
    }
    EXPECT_EQ(Codes.empty(), !Case.Written);
    EXPECT_EQ(Rig.Form->btnWrite->Caption(), "&Write");
  }
}

TEST_F(Write, WithAnEmptyQueueWriteAddsFirstAndACancelEndsIt) {
  Start();
  Rig.Dialogs.OpenAnswers = {{}};
  Form().btnWrite->SetEnabled(true);
  Form().btnWrite->Click();
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)), "A");   // Add's own page select, no write
  EXPECT_EQ(Form().btnWrite->Caption(), "&Write");

  const std::vector<uint8_t> Game = GameBytes("ADDED", 0x8000, 0, 4);
  WriteBytes(Files.Path("added.gb"), Game);
  Rig.Dialogs.OpenAnswers = {{Files.Path("added.gb")}};
  Form().btnWrite->Click();
  EXPECT_TRUE(CardHolds(0, Game));
}

TEST_F(Write, OneGameOnPageTwo) {
  Start();
  Rig.Binding.UserChoose(*Form().cbPart, 1);
  const std::vector<uint8_t> Game = GameBytes("PAGE TWO", 0x10000, 1, 5);
  WriteBytes(Files.Path("two.gb"), Game);
  Form().AddGameFile(Files.Path("two.gb"));
  Rig.Cable.TakeLog();
  Form().btnWrite->Click();

  const std::vector<TSentCommand> Sent = WithoutWriteChecks(SentCommands(Rig.Cable));
  // Format, data, the read-back, the page listed again, identification, page select.
  EXPECT_EQ(Squeezed(CodesOf(Sent)), "WRPDA");
  ASSERT_GT(Sent.size(), 128u + 2048u);
  for (uint32_t Block = 0; Block < 128; ++Block) {
    EXPECT_EQ(Sent[Block].Address, 0x400000u + Block * 0x8000 + 0x130);
    EXPECT_EQ(Sent[Block].Bytes, 41u);
  }
  for (uint32_t Chunk = 0; Chunk < 2048; ++Chunk) ASSERT_EQ(Sent[128 + Chunk].Address, 0x400000u + Chunk * 32);
  EXPECT_EQ(Sent.back().Code, 'A');
  EXPECT_EQ(Sent.back().Address, 0x400000u);
  EXPECT_TRUE(CardHolds(0x400000, Game));
  EXPECT_EQ(CardOffsets(), std::vector<uint32_t>{0});
  EXPECT_EQ(TWindowRig::Cell(*Form().lvCardRom, 0, 0), "PAGE TWO");
  EXPECT_TRUE(std::filesystem::exists(Files.Path("two.gb")));   // the user's own file stays
  EXPECT_EQ(Form().Queue().Count(), 1u);                         // and stays queued
}

TEST_F(Write, SaveRamOnPageTwoGoesToBareAddressesWithoutAFormat) {
  Start();
  Rig.Binding.UserChoose(*Form().cbPart, 1);
  std::vector<uint8_t> Save(1000);
  for (size_t I = 0; I < Save.size(); ++I) Save[I] = static_cast<uint8_t>(I * 3 + 1);
  WriteBytes(Files.Path("game.sav"), Save);
  Rig.Cable.TakeLog();
  Rig.Dialogs.OpenAnswers = {{Files.Path("game.sav")}};
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};   // overwrite the save RAM
  Form().btnWriteSRAM->Click();

  EXPECT_EQ(Rig.Dialogs.Filters.back(), "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*");
  // After the contact check and the backup read (whole, as WithoutWriteChecks
  // checks): the write, its read-back, the identification.
  std::vector<TSentCommand> All = WithoutWriteChecks(SentCommands(Rig.Cable));
  EXPECT_EQ(Squeezed(CodesOf(All)), "MmD");
  std::vector<TSentCommand> Sent;
  std::copy_if(All.begin(), All.end(), std::back_inserter(Sent), [](const TSentCommand& C) { return C.Code == 'M'; });
  ASSERT_EQ(CodesOf(Sent), std::string(32, 'M'));   // 31 whole chunks and one of 8 bytes
  for (size_t I = 0; I < 32; ++I) EXPECT_EQ(Sent[I].Address, I * 32);
  EXPECT_EQ(Sent[31].Length, 8u);
  EXPECT_TRUE(std::equal(Save.begin(), Save.end(), Rig.Card.Sram()));
  EXPECT_EQ(Form().btnWriteSRAM->Caption(), "&Write SRAM");
}

TEST_F(Write, FormatAsksAndOnlyYesClearsThePage) {
  Rig.PutGame(0, "ON THE CARD", 0);
  Start();
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  Form().btnEraseChip->Click();
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Are you sure to format \"Page NO. 1 (32M)\"");
  EXPECT_EQ(Rig.Dialogs.Messages[0].Caption, "Fromat");
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 36);
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)), "");

  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().btnEraseChip->Click();
  const std::vector<TSentCommand> Sent = AfterSaveBackup(SentCommands(Rig.Cable));
  EXPECT_EQ(Squeezed(CodesOf(Sent)), "WPD");   // format, listing through Refresh, identification
  EXPECT_EQ(std::count_if(Sent.begin(), Sent.end(), [](const TSentCommand& C) { return C.Code == 'W'; }), 128);
  EXPECT_EQ(Form().lvCardRom->RowCount(), 0);
  EXPECT_EQ(Form().btnEraseChip->Caption(), "&Format");
}

TEST_F(Write, AStopDuringAQueueWriteEndsAtAPacketAndClosesTwice) {
  Start();
  Form().AddGameFile(Files.Game("a.gb", "STOP A", 4, 1));
  Form().AddGameFile(Files.Game("b.gb", "STOP B", 4, 2));
  Rig.Cable.TakeLog();
  // A fifth into the data itself, past the save backup.
  Rig.Binding.OnEachPass = [&] {
    if (Form().ProgressBar->Position() >= 20 && Rig.Panel(1).rfind("Now writting...", 0) == 0) {
      Rig.Binding.OnEachPass = nullptr;
      Rig.Click(Form().btnWrite);
    }
  };
  Form().btnWrite->Click();

  const std::vector<TSentCommand> Sent = WithoutWriteChecks(SentCommands(Rig.Cable));
  for (const TSentCommand& Command : Sent) ASSERT_EQ(Command.Bytes, Command.Code == 'W' ? 41u : 9u);
  // The data stopped part-way; each closing run listed the page, identified
  // the chip and selected the page.
  EXPECT_EQ(Squeezed(CodesOf(Sent)), "WPDAPDA");
  const long Data = std::count_if(Sent.begin(), Sent.end(), [](const TSentCommand& C) { return C.Code == 'W'; }) - 128;
  EXPECT_GT(Data, 0);
  EXPECT_LT(Data, (32768 + 2 * 524288) / 32);
  EXPECT_EQ(Form().btnWrite->Caption(), "&Write");
  EXPECT_FALSE(Form().State().Operating);
  EXPECT_EQ(Form().Queue().Count(), 2u);   // the queue stays for the next try
}

TEST_F(Write, AnUnplugDuringAWriteLeavesTheErrorInPanelOne) {
  Start();
  Form().AddGameFile(Files.Game("a.gb", "UNPLUG", 3));
  Rig.Cable.TakeLog();
  Rig.Cable.UnplugAfter(500);
  Form().btnWrite->Click();
  EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);
  EXPECT_EQ(Rig.Panel(0), "Device Disconnected");
  EXPECT_EQ(Form().btnWrite->Caption(), "&Write");
  EXPECT_FALSE(Form().State().Operating);
  // The link error also gets a box, which says what the page holds now.
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text.rfind("Error Code: ", 0), 0u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 16);
}

// Refusals the closing identification would wipe from panel 1 are also
// shown in a box, once.
TEST_F(Write, FailuresOnlyThePanelWouldTellGetOneBox) {
  Start();
  struct TCase {
    const char* Name;
    std::function<void()> Click;
    std::string Box;
  };
  const std::string Gone = Files.Game("gone.gb", "GONE", 0);
  std::vector<uint8_t> BigSave(TCard::SramSize + 1, 7);
  WriteBytes(Files.Path("big.sav"), BigSave);
  const TCase Cases[] = {
      {"queued game deleted", [&] {
         Form().AddGameFile(Gone);
         std::filesystem::remove(Gone);
         Form().btnWrite->Click();
       }, "Open file error!\r\n" + Gone + ": No such file or directory"},
      {"save file too large", [&] {
         Rig.Dialogs.OpenAnswers = {{Files.Path("big.sav")}};
         Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};   // overwrite the save RAM
         Form().btnWriteSRAM->Click();
         Rig.Dialogs.Messages.erase(Rig.Dialogs.Messages.begin());   // that question
       }, "Save file too large!\r\nThe save RAM holds 131072 bytes."},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Rig.Dialogs.Messages.clear();
    Rig.Cable.TakeLog();
    Case.Click();
    ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Messages[0].Text, Case.Box);
    EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 16);
    const std::string Codes = CodesOf(SentCommands(Rig.Cable));
    EXPECT_EQ(Codes.find_first_of("WM"), std::string::npos);   // nothing reached the card
  }
  EXPECT_EQ(std::count(Rig.Card.Sram(), Rig.Card.Sram() + 16, 7), 0);
}

TEST_F(Write, APackWrittenListedReadBackAndWrittenAgain) {
  Start();
  const std::vector<std::vector<uint8_t>> Games = {GameBytes("GAME A", 0x8000, 0, 1), GameBytes("GAME B", 0x10000, 1, 2),
                                                   GameBytes("GAME C", 0x100000, 5, 3), GameBytes("GAME D", 0x100000, 5, 4)};
  const std::vector<std::string> Names = {"a.gb", "b.gb", "c.gb", "d.gb"};
  std::vector<std::string> Chosen;
  for (size_t I = 0; I < Games.size(); ++I) {
    WriteBytes(Files.Path(Names[I]), Games[I]);
    Chosen.push_back(Files.Path(Names[I]));
  }
  Rig.Dialogs.OpenAnswers = {Chosen};
  Form().btnAdd->Click();
  ASSERT_EQ(Form().Queue().Count(), 4u);
  EXPECT_EQ(Form().gbWrite->Caption(), " Ready to burn (Size: 32M, Free: 15M) ");

  const std::vector<uint32_t> Offsets = {32768, 65536, 1048576, 2097152};
  // Of the two 1 MiB games the one added last is queued, and placed, first.
  const size_t OnCard[] = {0, 1, 3, 2};
  // Write the new card, then again over it (with the question this time,
  // and the one whether to write only what differs: unanswered, No, so
  // all of it is written again).
  for (int Round = 0; Round < 2; ++Round) {
    SCOPED_TRACE(Round);
    Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
    Form().btnWrite->Click();
    EXPECT_EQ(Rig.Dialogs.Messages.size(), static_cast<size_t>(2 * Round));
    ASSERT_EQ(CardOffsets(), Offsets);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Rig.Card.Flash() + 0x134), 5), "VA16Z");
    for (size_t I = 0; I < Games.size(); ++I) {
      const size_t Game = OnCard[I];
      SCOPED_TRACE(Names[Game]);
      EXPECT_TRUE(CardHolds(Offsets[I], Games[Game]));
      // Back through Read, one game at a time.
      for (int Row = 0; Row < Form().lvCardRom->RowCount(); ++Row) Form().lvCardRom->SetSelected(Row, false);
      Form().lvCardRom->SetSelected(static_cast<int>(I), true);
      const std::string Back = Files.Path("back" + std::to_string(Round) + Names[Game]);
      Rig.Dialogs.SaveAnswers = {Back};
      Form().btnRead->Click();
      EXPECT_EQ(ReadBytes(Back), Games[Game]);
    }
  }
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 2u);
  EXPECT_NE(Rig.Dialogs.Messages[1].Text.find("Write only what differs?"), std::string::npos);
}

// A write cut short by an unplug: the next Write asks whether to write only
// what differs; yes rewrites only the blocks that differ, says how many in
// panel 1, and leaves the pack whole; no formats and writes it all.
TEST_F(Write, AfterACutWriteTheWindowOffersToWriteOnlyWhatDiffers) {
  for (const int Answer : {MB_RESULT_YES, MB_RESULT_NO}) {
    SCOPED_TRACE(Answer == MB_RESULT_YES ? "yes" : "no");
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    TMainForm& Form = *Rig.Form;
    const std::vector<uint8_t> A = GameBytes("REPAIR A", 0x40000, 3, 7), B = GameBytes("REPAIR B", 0x40000, 3, 8);
    WriteBytes(Files.Path("ra.gb"), A);
    WriteBytes(Files.Path("rb.gb"), B);
    Form.AddGameFile(Files.Path("ra.gb"));
    Form.AddGameFile(Files.Path("rb.gb"));
    // Past the check, the format and the first 300 KiB of the image.
    Rig.Cable.UnplugAfter(2 * 36 + 2 + 128 + 300 * 1024 / 32);
    Form.btnWrite->Click();
    ASSERT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u) << Rig.Panel(1);
    Rig.Cable.Plug();
    Rig.Port.PollDeviceEvents();
    ASSERT_EQ(Rig.Panel(0), "Device Connected");

    Rig.Dialogs.Messages.clear();
    // The overwrite question (the page lists the games already written
    // whole), then the repair question.
    Rig.Dialogs.MessageAnswers = {MB_RESULT_YES, Answer};
    Rig.Cable.TakeLog();
    Form.btnWrite->Click();
    ASSERT_EQ(Rig.Dialogs.Messages.size(), 2u);
    EXPECT_EQ(Rig.Dialogs.Messages[1].Text,
              "\"Page NO. 1 (32M)\" already holds the start of this image (a write cut short, or the same games "
              "written before).\r\nWrite only what differs? (No: format and write everything)");
    EXPECT_EQ(Rig.Dialogs.Messages[1].Flags, MB_FLAGS_QUESTION);
    const std::vector<TSentCommand> Sent = SentCommands(Rig.Cable);
    const long Packets = std::count_if(Sent.begin(), Sent.end(), [](const TSentCommand& C) { return C.Code == 'W'; });
    if (Answer == MB_RESULT_YES) {
      // The pack is 768 KiB: 6 blocks, of which the first two are whole on the card.
      EXPECT_EQ(Rig.Panel(1).rfind("Write complete.  4 of 6 blocks rewritten", 0), 0u) << Rig.Panel(1);
      EXPECT_EQ(Packets, 4 * 0x20000 / 32);
    } else {
      EXPECT_EQ(Rig.Panel(1).rfind("Write complete.  Time used: ", 0), 0u) << Rig.Panel(1);
      EXPECT_EQ(Packets, 128 + 0xC0000 / 32);
    }
    // Of two games of one size the one added last is placed first.
    EXPECT_TRUE(std::equal(B.begin(), B.end(), Rig.Card.Flash() + 0x40000));
    EXPECT_TRUE(std::equal(A.begin(), A.end(), Rig.Card.Flash() + 0x80000));
    EXPECT_EQ(Form.lvCardRom->RowCount(), 2);
  }
}

// An unstable contact: Write asks whether to write anyway; no writes
// nothing and says why in panel 1 without a second box, yes writes.
TEST_F(Write, AnUnstableContactAsksBeforeAnythingIsWritten) {
  for (const int Answer : {MB_RESULT_NO, MB_RESULT_YES}) {
    SCOPED_TRACE(Answer == MB_RESULT_YES ? "yes" : "no");
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    TMainForm& Form = *Rig.Form;
    Form.AddGameFile(Files.Game("flip.gb", "FLIP", 0));
    ASSERT_TRUE(Rig.Click(Form.Verify1));   // a flipping cable fails any read-back
    Rig.Cable.FlipEverySecondRead(true);
    Rig.Cable.TakeLog();
    Rig.Dialogs.Messages.clear();
    Rig.Dialogs.MessageAnswers = {Answer};
    Form.btnWrite->Click();
    ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
    EXPECT_NE(Rig.Dialogs.Messages[0].Text.find("clean the card's contacts and try again.\r\nWrite anyway?"),
              std::string::npos)
        << Rig.Dialogs.Messages[0].Text;
    EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, MB_FLAGS_QUESTION);
    const std::string Codes = CodesOf(SentCommands(Rig.Cable));
    if (Answer == MB_RESULT_NO) {
      EXPECT_EQ(Codes.find('W'), std::string::npos) << "nothing written";
      EXPECT_EQ(Rig.Panel(1).rfind("Unstable contact: the card answered differently twice (", 0), 0u) << Rig.Panel(1);
    } else {
      EXPECT_NE(Codes.find('W'), std::string::npos);
      EXPECT_EQ(Rig.Panel(1).rfind("Write complete.", 0), 0u) << Rig.Panel(1);
    }
  }
}

}  // namespace
