// SPDX-License-Identifier: GPL-3.0-or-later
// Writes as the front ends run them: the save backup first, the verify pass
// after, and a plain account of what a write that ended early left behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/CardWrite.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;

class CardWriteTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  std::string OldData;
  bool HadData = false;

  void SetUp() override {
    RegisterTestMenu();
    // The backups go to the program's data folder: a scratch one here.
    if (const char* Old = std::getenv("XDG_DATA_HOME")) {
      OldData = Old;
      HadData = true;
    }
    ::setenv("XDG_DATA_HOME", Dir.File("data").c_str(), 1);
  }
  void TearDown() override {
    ClearRegisteredResources();
    if (HadData)
      ::setenv("XDG_DATA_HOME", OldData.c_str(), 1);
    else
      ::unsetenv("XDG_DATA_HOME");
  }

  // Three games of a pack: two of 32 KiB, one of 64 KiB.
  std::vector<std::vector<uint8_t>> QueueThree(TGameQueue& Queue, TEmulatedRig& Rig) {
    std::vector<std::vector<uint8_t>> Games = {MakeGame(32 * K, "G1", 1), MakeGame(32 * K, "G2", 2),
                                               MakeGame(64 * K, "G3", 3)};
    for (size_t I = 0; I < Games.size(); ++I) {
      const std::string Name = Dir.File("g" + std::to_string(I + 1) + ".gb");
      WriteBytes(Name, Games[I]);
      EXPECT_TRUE(Queue.AddGameFile(Name, Rig.Front));
    }
    return Games;
  }

  static bool Holds(const TEmulatedRig& Rig, uint32_t Address, const std::vector<uint8_t>& Bytes) {
    return std::memcmp(Rig.Card.Flash() + Address, Bytes.data(), Bytes.size()) == 0;
  }
};

std::string Joined(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += Line + "\n";
  return Text;
}

TEST_F(CardWriteTest, PackIsWrittenAndVerified) {
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  TGameQueue Queue;
  const auto Games = QueueThree(Queue, Rig);
  TCardWriteRequest Request;
  Request.Queue = &Queue;
  const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
  EXPECT_TRUE(Result.Succeeded) << Result.Outcome;
  EXPECT_TRUE(Result.Verified);
  EXPECT_EQ(Result.Outcome.rfind("Write complete.  Time used: ", 0), 0u) << Result.Outcome;
  EXPECT_EQ(Rig.Front.Panels[1], Result.Outcome);
  EXPECT_FALSE(Rig.State.Operating);
  EXPECT_GT(Rig.Front.CountTexts("Now verifying..."), 0);
  // G2 was added last of the equal sizes, so it goes first.
  EXPECT_TRUE(Holds(Rig, 0x8000, Games[1]));
  EXPECT_TRUE(Holds(Rig, 0x10000, Games[0]));
  EXPECT_TRUE(Holds(Rig, 0x20000, Games[2]));
  EXPECT_EQ(Dir.TempFiles(), 0u) << "the pack image built again for the verify is gone";
}

// A worn cell: the verify names its address and the game that holds it;
// without the verify nothing is read back.
TEST_F(CardWriteTest, VerifyCatchesAWeakCellAndNamesItsGame) {
  for (const bool Verify : {true, false}) {
    SCOPED_TRACE(Verify ? "verify" : "no verify");
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    Rig.State.PageBase = 0x400000;
    TGameQueue Queue;
    QueueThree(Queue, Rig);
    Rig.Card.SetWeakCell(0x400000 + 0x20000 + 0x1234, 0x04);   // inside G3
    TCardWriteRequest Request;
    Request.Queue = &Queue;
    Request.Verify = Verify;
    // The page's titles as the front end knows them: no listing before the backup.
    Request.Titles.emplace();
    Rig.Sent();
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    size_t Reads = 0;
    for (const auto& Sent : Rig.Sent()) Reads += Sent.Code == cmdReadRom;
    if (Verify) {
      EXPECT_FALSE(Result.Succeeded);
      EXPECT_EQ(Result.Mismatch, 0x421234);
      EXPECT_EQ(Result.MismatchGame, "G3");
      EXPECT_NE(Result.Outcome.find("card address 0x421234 (game \"G3\")"), std::string::npos) << Result.Outcome;
      EXPECT_EQ(Rig.Front.Panels[1], Result.Outcome);
      EXPECT_GT(Reads, 0u);
    } else {
      EXPECT_TRUE(Result.Succeeded) << Result.Outcome;
      EXPECT_EQ(Reads, 0u) << "no read-back without the verify";
    }
  }
}

// The cable pulled after every n-th exchange of a pack write (a dense
// sample): the run ends with the link's error, and every game the report
// calls complete is whole on the card, every game it calls cut short or
// missing is not.
TEST_F(CardWriteTest, UnpluggedPackWriteSaysWhatItLeft) {
  // Format 128 packets, image 192 KiB = 6144 packets, verify 48 pieces of
  // two transfers each.
  const long Total = 128 + 6144 + 96;
  for (long After = 1; After < Total; After += After < 140 ? 3 : 61) {
    SCOPED_TRACE("unplugged after " + std::to_string(After));
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    TGameQueue Queue;
    const auto Games = QueueThree(Queue, Rig);
    Rig.Cable.UnplugAfter(After);
    TCardWriteRequest Request;
    Request.Queue = &Queue;
    // Only the write and its verify are counted here; unplugs during the
    // save backup are the vault tests' own.
    Request.BackupSave = false;
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    ASSERT_FALSE(Result.Succeeded);
    EXPECT_EQ(Result.End, TTransferEnd::LinkFailed);
    EXPECT_NE(Result.Outcome.find("Error Code: "), std::string::npos) << Result.Outcome;
    EXPECT_FALSE(Rig.State.Operating);
    const std::string Report = Joined(Result.Report);
    if (After > 128 + 6144) {
      EXPECT_TRUE(Report.empty()) << "the write was whole; only the verify was cut: " << Report;
      EXPECT_NE(Result.Outcome.find("not checked"), std::string::npos) << Result.Outcome;
      continue;
    }
    ASSERT_FALSE(Report.empty());
    EXPECT_NE(Report.find("Page NO. 1 (32M) holds only part of the image"), std::string::npos) << Report;
    EXPECT_NE(Report.find("Write the games again, or format the page."), std::string::npos) << Report;
    const uint32_t Offsets[] = {0x10000, 0x8000, 0x20000};   // G1, G2, G3
    for (size_t I = 0; I < Games.size(); ++I) {
      const std::string Name = "\"G" + std::to_string(I + 1) + "\"";
      const size_t Complete = Report.find("Complete: "), At = Report.find(Name);
      ASSERT_NE(At, std::string::npos) << Report;
      const bool SaidComplete = Complete != std::string::npos && At < Report.find('\n', Complete) && At > Complete;
      EXPECT_EQ(SaidComplete, Holds(Rig, Offsets[I], Games[I])) << Name << "\n" << Report;
    }
  }
}

// Save RAM: the backup holds the save as it was, byte for byte; a backup
// that fails stops the write before anything is written; a write cut short
// says how far it got and names the backup.
TEST_F(CardWriteTest, SaveRamIsBackedUpFirst) {
  std::vector<uint8_t> Old(TCard::SramSize), New(0x2000);
  for (size_t I = 0; I < Old.size(); ++I) Old[I] = static_cast<uint8_t>(I * 13 + (I >> 9));
  for (size_t I = 0; I < New.size(); ++I) New[I] = static_cast<uint8_t>(~I);
  WriteBytes(Dir.File("new.sav"), New);

  // Backup 32 pieces (64 transfers), 256 packets, verify 2 pieces (4).
  for (long After = 0; After < 64 + 256 + 4; ++After) {
    SCOPED_TRACE(After ? "unplugged after " + std::to_string(After) : "never unplugged");
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    std::memcpy(Rig.Card.Sram(), Old.data(), Old.size());
    if (After) Rig.Cable.UnplugAfter(After);
    TCardWriteRequest Request;
    Request.Kind = TCardWriteKind::SaveRam;
    Request.FileName = Dir.File("new.sav");
    // The page's titles as the front end knows them: no listing before the backup.
    Request.Titles.emplace();
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    const std::vector<uint8_t> Sram(Rig.Card.Sram(), Rig.Card.Sram() + TCard::SramSize);
    if (!After) {
      ASSERT_TRUE(Result.Succeeded) << Result.Outcome;
      ASSERT_FALSE(Result.BackupFile.empty());
      EXPECT_EQ(std::filesystem::path(Result.BackupFile).parent_path(),
                std::filesystem::path(Dir.File("data")) / "flashquill" / "backups");
      EXPECT_TRUE(std::filesystem::path(Result.BackupFile).filename().string().rfind("sram-", 0) == 0);
      EXPECT_EQ(ReadBytes(Result.BackupFile), Old) << "the backup is the save RAM as it was";
      EXPECT_TRUE(std::equal(New.begin(), New.end(), Sram.begin()));
      continue;
    }
    ASSERT_FALSE(Result.Succeeded);
    EXPECT_NE(Result.Outcome.find("Error Code: "), std::string::npos) << Result.Outcome;
    if (After < 64) {
      EXPECT_EQ(Result.Outcome.rfind("Save backup failed (Error Code: ", 0), 0u) << Result.Outcome;
      EXPECT_EQ(Sram, Old) << "nothing written without a backup";
      EXPECT_TRUE(Result.BackupFile.empty());
      continue;
    }
    EXPECT_EQ(ReadBytes(Result.BackupFile), Old);
    if (After < 64 + 256) {
      const std::string Report = Joined(Result.Report);
      EXPECT_NE(Report.find("The save RAM is now partly written"), std::string::npos) << Report;
      EXPECT_NE(Report.find(Result.BackupFile), std::string::npos) << Report;
      EXPECT_TRUE(std::equal(Old.begin() + 0x2000, Old.end(), Sram.begin() + 0x2000)) << "past the file: the old save";
    }
  }
}

}  // namespace
