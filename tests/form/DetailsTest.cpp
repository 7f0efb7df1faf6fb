// SPDX-License-Identifier: GPL-3.0-or-later
// Knowing the games in the window: header details from the two lists' popup
// menus, the DAT file it remembers, verdicts for card games and backups, and
// the header question's offer to mend a checksum.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DataHome.h"
#include "GameFiles.h"
#include "WindowRig.h"
#include "core/dat/DatSetting.h"
#include "core/dat/GameHashes.h"

namespace {

class Details : public ::testing::Test {
protected:
  TGameFolder Files;
  TDataHome Home{Files.Root()};
  TWindowRig Rig;
  TMainForm& Form() { return *Rig.Form; }
  // Where the data folder is not the test's own (Windows keeps it at C:\),
  // a remembered DAT would reach the windows of later tests.
  void TearDown() override { SaveDatSetting(""); }

  std::vector<uint8_t> PutGame(uint32_t Address, const std::string& Title, uint8_t Seed) {
    const std::vector<uint8_t> Bytes = GameBytes(Title, 0x8000, 0, Seed);
    std::memcpy(Rig.Card.Flash() + Address, Bytes.data(), Bytes.size());
    return Bytes;
  }
  static std::string Entry(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    const TGameHashes H = HashBytes(Bytes.data(), Bytes.size());
    return "<game name=\"" + Name + "\"><rom name=\"" + Name + ".gb\" size=\"" + std::to_string(H.Size) +
           "\" crc=\"" + Crc32Text(H.Crc32) + "\" sha1=\"" + Sha1Text(H.Sha1) + "\"/></game>\n";
  }
  std::string WriteDat(const std::string& Games) {
    std::ofstream(Files.Path("games.dat")) << "<?xml version=\"1.0\"?>\n<datafile>\n" << Games << "</datafile>\n";
    return Files.Path("games.dat");
  }
  void ChooseDat(const std::string& File) {
    Rig.Dialogs.OpenAnswers = {{File}};
    Form().DatFile1->Click();
  }
  const std::string& LastBox() { return Rig.Dialogs.Messages.back().Text; }
  bool Says(const std::string& Part) { return LastBox().find(Part) != std::string::npos; }
};

}  // namespace

TEST_F(Details, TheDatFileIsCheckedRememberedAndABadOneRefused) {
  const std::string Dat = WriteDat(Entry("Alpha (World)", GameBytes("ALPHA", 0x8000, 0, 1)));
  ASSERT_TRUE(Rig.Start());
  EXPECT_EQ(Form().DatFileName(), "");
  ChooseDat(Dat);
  EXPECT_EQ(Rig.Dialogs.Filters.back(), "DAT Files (*.dat;*.xml)|*.dat;*.xml|All Files (*.*)|*.*");
  EXPECT_TRUE(Says(Dat + ": 1 dumps.")) << LastBox();
  EXPECT_EQ(LoadDatSetting(), Dat);

  std::ofstream(Files.Path("broken.dat")) << "<datafile><game>";
  ChooseDat(Files.Path("broken.dat"));
  EXPECT_EQ(Rig.Dialogs.Messages.back().Flags, MB_FLAGS_ERROR);
  EXPECT_TRUE(Says("broken.dat: not a DAT file, its XML is broken")) << LastBox();
  EXPECT_EQ(Form().DatFileName(), Dat) << "the good one stays";
  EXPECT_EQ(LoadDatSetting(), Dat);

  // The next window starts with the remembered one.
  TWindowRig Next;
  ASSERT_TRUE(Next.Start());
  EXPECT_EQ(Next.Form->DatFileName(), Dat);
}

TEST_F(Details, AQueuedGameShowsItsHeaderAndVerdict) {
  const std::vector<uint8_t> Alpha = GameBytes("ALPHA", 0x8000, 0, 1);
  WriteBytes(Files.Path("alpha.gb"), Alpha);
  ASSERT_TRUE(Rig.Start());
  ChooseDat(WriteDat(Entry("Alpha (World)", Alpha)));
  Form().FormDropFiles({Files.Path("alpha.gb")});
  ASSERT_EQ(Form().lvROMs->RowCount(), 1);
  EXPECT_EQ(Form().Details1->Caption(), "Header &details...");
  const size_t Boxes = Rig.Dialogs.Messages.size();
  Form().Details1->Click();
  EXPECT_EQ(Rig.Dialogs.Messages.size(), Boxes) << "nothing selected, nothing shown";
  Form().lvROMs->SetSelected(0, true);
  Form().Details1->Click();
  EXPECT_EQ(Rig.Dialogs.Messages.back().Caption, "alpha.gb");
  EXPECT_TRUE(Says("Title: \"ALPHA\"")) << LastBox();
  EXPECT_TRUE(Says("Header checksum: 0x")) << LastBox();
  EXPECT_TRUE(Says("DAT: verified: Alpha (World)")) << LastBox();
}

TEST_F(Details, CardGamesAreReadWholeForDetailsAndChecks) {
  const std::vector<uint8_t> Alpha = PutGame(0, "ALPHA", 1);
  std::vector<uint8_t> Bravo = PutGame(0x8000, "BRAVO", 2);
  PutGame(0x10000, "CHARLIE", 3);
  Bravo[0x7000] ^= 0x01;   // the DAT's Bravo differs from the card's
  ASSERT_TRUE(Rig.Start());
  ASSERT_EQ(Form().lvCardRom->RowCount(), 3);
  ChooseDat(WriteDat(Entry("Alpha (World)", Alpha) + Entry("Bravo (Europe)", Bravo)));

  Form().lvCardRom->SetSelected(0, true);
  Rig.Cable.TakeLog();
  Form().CardDetails1->Click();
  EXPECT_EQ(Rig.Dialogs.Messages.back().Caption, "ALPHA");
  EXPECT_TRUE(Says("Title: \"ALPHA\"")) << LastBox();
  EXPECT_FALSE(Says("not computed")) << "the whole game was read: " << LastBox();
  EXPECT_TRUE(Says("DAT: verified: Alpha (World)")) << LastBox();
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)), "RRRRRRRRD") << "eight pieces of 4096 bytes, then the closing identification";
  EXPECT_EQ(Form().btnRead->Caption(), "&Read");

  // None selected: every game is checked.
  Form().lvCardRom->SetSelected(0, false);
  Form().CardCheck1->Click();
  EXPECT_EQ(LastBox(),
            "ALPHA: verified: Alpha (World)\r\nBRAVO: differs from Bravo (Europe): bad dump?\r\nCHARLIE: not in the DAT");
  EXPECT_TRUE(Form().pMain->Enabled());
}

TEST_F(Details, BackupsReadIntoAFolderTakeTheirDatNames) {
  const std::vector<uint8_t> Alpha = PutGame(0, "ALPHA", 1);
  const std::vector<uint8_t> Charlie = PutGame(0x8000, "CHARLIE", 3);
  ASSERT_TRUE(Rig.Start());
  ChooseDat(WriteDat(Entry("Alpha (World)", Alpha)));
  Form().lvCardRom->SetSelected(0, true);
  Form().lvCardRom->SetSelected(1, true);
  std::filesystem::create_directories(Files.Path("back"));
  Rig.Dialogs.FolderAnswers = {Files.Path("back")};
  Form().btnRead->Click();
  EXPECT_EQ(ReadBytes(Files.Path("back/Alpha (World).gb")), Alpha);
  EXPECT_FALSE(std::filesystem::exists(Files.Path("back/ALPHA.GB")));
  EXPECT_EQ(ReadBytes(Files.Path("back/CHARLIE.GB")), Charlie);
  EXPECT_TRUE(Says(Files.Path("back/Alpha (World).gb") + ": verified: Alpha (World)")) << LastBox();
  EXPECT_TRUE(Says(Files.Path("back/CHARLIE.GB") + ": not in the DAT")) << LastBox();
  EXPECT_EQ(Rig.Panel(1).rfind("Read complete.", 0), 0u) << Rig.Panel(1);
}

TEST_F(Details, TheHeaderQuestionOffersToMendTheChecksum) {
  std::vector<uint8_t> Bad = GameBytes("MENDME", 0x8000, 0, 4);
  Bad[HeaderChecksumOffset] ^= 0x33;
  WriteBytes(Files.Path("bad.gb"), Bad);
  ASSERT_TRUE(Rig.Start());
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES, MB_RESULT_YES};   // queue it anyway; mend it
  Form().FormDropFiles({Files.Path("bad.gb")});
  ASSERT_EQ(Form().lvROMs->RowCount(), 1);
  EXPECT_TRUE(Says("Write bad.gb with its header checksum mended? The file on disk stays as it is.")) << LastBox();
  Form().btnWrite->Click();
  EXPECT_EQ(ReadBytes(Files.Path("bad.gb")), Bad) << "the file is never changed";
  EXPECT_EQ(Rig.Card.Flash()[HeaderChecksumOffset], HeaderChecksum(Rig.Card.Flash()));
  EXPECT_EQ(Rig.Card.Flash()[0x200], Bad[0x200]);
  EXPECT_EQ(Rig.Panel(1).rfind("Verify complete", 0) == 0 || Rig.Panel(1).rfind("Write complete", 0) == 0, true)
      << Rig.Panel(1);

  // Declined: the game goes out as the file has it.
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Form().RemoveAllMenuExecute();
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES, MB_RESULT_NO};
  Form().FormDropFiles({Files.Path("bad.gb")});
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};   // overwrite the old games
  Form().btnWrite->Click();
  EXPECT_EQ(Rig.Card.Flash()[HeaderChecksumOffset], Bad[HeaderChecksumOffset]);
}
