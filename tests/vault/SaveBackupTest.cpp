// SPDX-License-Identifier: GPL-3.0-or-later
// The backup before every write on the emulated cable: exactly one new
// backup per write (none when the save is unchanged), byte for byte the save
// RAM as it was, named after the page's games; a backup that cannot be made
// stops the write before anything reaches the card.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/factory/FactoryTest.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/transfer/CardWrite.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

class SaveBackup : public ::testing::Test {
protected:
  TScratchDir Dir;
  void SetUp() override {
    RegisterTestMenu();
    ::setenv("XDG_DATA_HOME", Dir.File("data").c_str(), 1);
  }
  void TearDown() override {
    ClearRegisteredResources();
    ::unsetenv("XDG_DATA_HOME");
  }
  std::string Vault() const { return Dir.File("data") + "/flashquill/backups"; }
  std::vector<std::string> Backups() const {
    std::vector<std::string> Files;
    std::error_code Error;
    for (fs::directory_iterator It(Vault(), Error), End; !Error && It != End; It.increment(Error))
      Files.push_back(It->path().string());
    return Files;
  }
  static void Fill(TEmulatedRig& Rig, uint8_t Seed) {
    for (uint32_t I = 0; I < TCard::SramSize; ++I) Rig.Card.Sram()[I] = static_cast<uint8_t>(I * 3 + Seed + (I >> 12));
  }
  static std::vector<uint8_t> SramOf(TEmulatedRig& Rig) {
    return std::vector<uint8_t>(Rig.Card.Sram(), Rig.Card.Sram() + TCard::SramSize);
  }
};

// One kind of write the vault must come before.
struct TWriteCase {
  const char* What;
  std::function<bool(SaveBackup&, TEmulatedRig&, TScratchDir&)> Run;   // true: it succeeded
};

std::vector<TWriteCase> WriteCases() {
  const auto Write = [](TCardWriteKind Kind, const char* File) {
    return [Kind, File](SaveBackup&, TEmulatedRig& Rig, TScratchDir& Dir) {
      TGameQueue Queue;
      if (Kind == TCardWriteKind::Queue) {
        WriteBytes(Dir.File("g1.gb"), MakeGame(0x8000, "G1", 1));
        WriteBytes(Dir.File("g2.gb"), MakeGame(0x8000, "G2", 2));
        Queue.AddGameFile(Dir.File("g1.gb"), Rig.Front);
        Queue.AddGameFile(Dir.File("g2.gb"), Rig.Front);
      }
      TCardWriteRequest Request;
      Request.Kind = Kind;
      Request.Queue = &Queue;
      if (File) {
        WriteBytes(Dir.File(File), Kind == TCardWriteKind::SaveRam ? std::vector<uint8_t>(0x1000, 0x42)
                                                                   : MakeGame(0x8000, "RAW", 5));
        Request.FileName = Dir.File(File);
      }
      return WriteToCard(Request, Rig.Link).Succeeded;
    };
  };
  const auto Factory = [](TFactoryMode Mode) {
    return [Mode](SaveBackup&, TEmulatedRig& Rig, TScratchDir& Dir) {
      TFactoryRun Run;
      Run.Mode = Mode;
      Run.TestFile = Dir.File("test.bin");
      Run.ReadBackFile = Dir.File("back.bin");
      Run.BackupSave = true;
      WriteBytes(Run.TestFile, std::vector<uint8_t>(0x1000, 0x24));
      return RunFactoryTest(Run, Rig.Link) == TFactoryVerdict::Ok;
    };
  };
  return {
      {"a pack write", Write(TCardWriteKind::Queue, nullptr)},
      {"a raw write", Write(TCardWriteKind::RawImage, "raw.gb")},
      {"a save RAM write", Write(TCardWriteKind::SaveRam, "new.sav")},
      {"the save RAM test", Factory(TFactoryMode::Sram)},
      {"the flash test", Factory(TFactoryMode::Rom)},
  };
}

}  // namespace

TEST_F(SaveBackup, EveryWriteLeavesOneBackupOfTheSaveAsItWas) {
  for (const TWriteCase& C : WriteCases()) {
    SCOPED_TRACE(C.What);
    fs::remove_all(Dir.File("data"));
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    Fill(Rig, 7);
    const std::vector<uint8_t> Before = SramOf(Rig);
    ASSERT_TRUE(C.Run(*this, Rig, Dir));
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_EQ(ReadBytes(Backups()[0]), Before);
    // The save RAM as the write left it is one more backup next time; an
    // unchanged one is none.
    const std::vector<uint8_t> After = SramOf(Rig);
    ASSERT_TRUE(C.Run(*this, Rig, Dir));
    EXPECT_EQ(Backups().size(), After == Before ? 1u : 2u);
    ASSERT_TRUE(C.Run(*this, Rig, Dir));
    EXPECT_EQ(Backups().size(), After == Before ? 1u : 2u) << "the same save again is not stored twice";
  }
}

TEST_F(SaveBackup, TheBackupIsNamedAfterThePagesGames) {
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  WriteBytes(Dir.File("a.gb"), MakeGame(0x8000, "FIRST GAME", 1));
  WriteBytes(Dir.File("b.gb"), MakeGame(0x8000, "SECOND", 2));
  TGameQueue Queue;
  Queue.AddGameFile(Dir.File("a.gb"), Rig.Front);
  Queue.AddGameFile(Dir.File("b.gb"), Rig.Front);
  TCardWriteRequest Request;
  Request.Queue = &Queue;
  ASSERT_TRUE(WriteToCard(Request, Rig.Link).Succeeded);
  Fill(Rig, 3);
  // Without titles from the front end, the page is listed for them.
  WriteBytes(Dir.File("s.sav"), std::vector<uint8_t>(32, 1));
  Request.Kind = TCardWriteKind::SaveRam;
  Request.FileName = Dir.File("s.sav");
  const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
  ASSERT_TRUE(Result.Succeeded) << Result.Outcome;
  EXPECT_NE(Result.BackupFile.find("_SECOND_FIRST-GAME.sav"), std::string::npos) << Result.BackupFile;
  EXPECT_EQ(Result.Backup.Entry.Titles, (std::vector<std::string>{"SECOND", "FIRST GAME"}));
  EXPECT_EQ(Result.Backup.Entry.Before, "write-sram");
}

// The cable pulled during the backup's 64 exchanges: the write never starts,
// the card keeps its save and flash, no half backup stays.
TEST_F(SaveBackup, ABackupCutShortStopsTheWrite) {
  for (long After = 1; After < 64; After += 3) {
    SCOPED_TRACE("unplugged after " + std::to_string(After));
    fs::remove_all(Dir.File("data"));
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    Fill(Rig, 9);
    const std::vector<uint8_t> Before = SramOf(Rig);
    WriteBytes(Dir.File("new.sav"), std::vector<uint8_t>(0x100, 0x55));
    Rig.Cable.UnplugAfter(After);
    TCardWriteRequest Request;
    Request.Kind = TCardWriteKind::SaveRam;
    Request.FileName = Dir.File("new.sav");
    Request.Titles.emplace();
    bool Asked = false;
    Request.GoOnWithoutBackup = [&Asked](const TSaveBackupResult&) { return Asked = true, false; };
    Rig.Sent();
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    EXPECT_FALSE(Result.Succeeded);
    EXPECT_TRUE(Asked) << "the user was asked";
    EXPECT_EQ(Result.Outcome.rfind("Save backup failed (Error Code: ", 0), 0u) << Result.Outcome;
    for (const auto& Sent : Rig.Sent()) EXPECT_NE(Sent.Code, cmdWriteSram) << "nothing written";
    EXPECT_EQ(SramOf(Rig), Before);
    EXPECT_TRUE(Backups().empty());
    EXPECT_EQ(Dir.TempFiles(), 0u);
  }
}

// A vault that cannot be written: the write stops, unless the user goes on.
TEST_F(SaveBackup, AVaultThatCannotBeWrittenStopsTheWriteUnlessTheUserGoesOn) {
  for (const bool GoOn : {false, true}) {
    SCOPED_TRACE(GoOn ? "the user goes on" : "the user stops");
    fs::remove_all(Dir.File("data"));
    fs::create_directories(Dir.File("data/flashquill"));
    WriteBytes(Vault(), {1});   // a file where the vault's folder should be
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    Fill(Rig, 1);
    const std::vector<uint8_t> Before = SramOf(Rig);
    WriteBytes(Dir.File("new.sav"), std::vector<uint8_t>(0x100, 0x55));
    TCardWriteRequest Request;
    Request.Kind = TCardWriteKind::SaveRam;
    Request.FileName = Dir.File("new.sav");
    std::string Asked;
    Request.GoOnWithoutBackup = [&](const TSaveBackupResult& Backup) { return Asked = Backup.Error, GoOn; };
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    EXPECT_NE(Asked.find(Vault()), std::string::npos) << "the reason names the folder: " << Asked;
    EXPECT_EQ(Result.Succeeded, GoOn) << Result.Outcome;
    EXPECT_EQ(Result.WroteWithoutBackup, GoOn);
    if (GoOn) {
      EXPECT_EQ(Rig.Card.Sram()[0], 0x55);
      EXPECT_NE(CardWriteMessage(Result).find("No backup of the save RAM was made."), std::string::npos);
    } else {
      EXPECT_EQ(SramOf(Rig), Before);
      EXPECT_NE(Result.Outcome.find("nothing was written"), std::string::npos) << Result.Outcome;
    }
  }
}

// A stop (the window's Stop, Ctrl-C) during the backup: nothing is written,
// nothing is asked, no half backup stays, and the text says it was a stop.
TEST_F(SaveBackup, AStopDuringTheBackupWritesNothing) {
  for (const bool Factory : {false, true}) {
    SCOPED_TRACE(Factory ? "the save RAM test" : "a save RAM write");
    fs::remove_all(Dir.File("data"));
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    Fill(Rig, 2);
    const std::vector<uint8_t> Before = SramOf(Rig);
    WriteBytes(Dir.File("new.sav"), std::vector<uint8_t>(0x100, 0x55));
    Rig.Front.OnPump = [&Rig](int Pumps) {
      if (Pumps == 10) Rig.State.Operating = false;
    };
    bool Asked = false;
    const auto Ask = [&Asked](const TSaveBackupResult&) { return Asked = true, true; };
    Rig.Sent();
    if (Factory) {
      TFactoryRun Run;
      Run.Mode = TFactoryMode::Sram;
      Run.TestFile = Dir.File("new.sav");
      Run.ReadBackFile = Dir.File("back.bin");
      Run.BackupSave = true;
      Run.Titles.emplace();
      Run.GoOnWithoutBackup = Ask;
      TFactoryResult Result;
      EXPECT_EQ(RunFactoryTest(Run, Rig.Link, &Result), TFactoryVerdict::Cancelled);
      EXPECT_EQ(Result.Reason, "Stopped during the save backup: nothing was written.");
    } else {
      TCardWriteRequest Request;
      Request.Kind = TCardWriteKind::SaveRam;
      Request.FileName = Dir.File("new.sav");
      Request.Titles.emplace();
      Request.GoOnWithoutBackup = Ask;
      const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
      EXPECT_FALSE(Result.Succeeded);
      EXPECT_EQ(Result.End, TTransferEnd::Stopped);
      EXPECT_EQ(Result.Outcome, "Stopped during the save backup: nothing was written.");
    }
    EXPECT_FALSE(Asked) << "a stop is the user's own answer";
    for (const auto& Sent : Rig.Sent()) EXPECT_NE(Sent.Code, cmdWriteSram);
    EXPECT_EQ(SramOf(Rig), Before);
    EXPECT_TRUE(Backups().empty());
  }
}
