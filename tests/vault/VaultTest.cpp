// SPDX-License-Identifier: GPL-3.0-or-later
// The vault on its own: the index keeps any title, a save equal to the
// latest backup is not stored twice, the oldest go beyond the limit, and a
// vault that cannot be written changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/stat.h>

#include "core/vault/SaveVault.h"
#include "core/vault/VaultIndex.h"
#include "core/vault/VaultName.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Save(uint8_t Seed) {
  std::vector<uint8_t> Bytes(0x20000);
  for (size_t I = 0; I < Bytes.size(); ++I) Bytes[I] = static_cast<uint8_t>(I * 7 + Seed + (I >> 10));
  return Bytes;
}

size_t FilesIn(const std::string& Folder) {
  size_t Count = 0;
  std::error_code Error;
  for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) ++Count;
  return Count;
}

std::string Text(const std::string& File) {
  std::ifstream In(File, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(VaultIndex, EveryTitleComesBackAsItWas) {
  const std::vector<std::vector<std::string>> Cases = {
      {},
      {""},
      {"", ""},
      {"POKEMON RED", "TETRIS"},
      {"A|B", "50%", "TAB\tIN", "LINE\nBREAK", "\x7F\x01", std::string("NUL\0X", 5)},
      {"\xE9t\xE9", "|", "%", "%41"},
  };
  std::vector<TVaultEntry> Entries;
  int64_t Time = 1000;
  for (const auto& Titles : Cases) {
    TVaultEntry E;
    E.File = "sram-" + std::to_string(Time) + ".sav";
    E.Time = Time++;
    E.Size = 0x20000;
    E.Sha1 = std::string(40, 'a');
    E.Page = 2;
    E.Before = "write";
    E.Titles = Titles;
    Entries.push_back(E);
  }
  const std::vector<TVaultEntry> Back = ParseVaultIndex(FormatVaultIndex(Entries));
  ASSERT_EQ(Back.size(), Entries.size());
  for (size_t I = 0; I < Back.size(); ++I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(Back[I].Titles, Entries[I].Titles);
    EXPECT_EQ(Back[I].File, Entries[I].File);
    EXPECT_EQ(Back[I].Time, Entries[I].Time);
    EXPECT_EQ(Back[I].Page, 2);
  }
}

TEST(VaultIndex, LinesThatDoNotParseAreLeftOut) {
  const std::string Good = "sram-1.sav\t1\t131072\t" + std::string(40, 'b') + "\t1\twrite\t1|GAME\n";
  const struct {
    const char* What;
    std::string Line;
  } Cases[] = {
      {"too few fields", "sram-2.sav\t1\t131072\n"},
      {"a folder in the name", "../etc/passwd\t1\t131072\t" + std::string(40, 'b') + "\t1\twrite\t0\n"},
      {"a hidden name", ".sram-2.sav\t1\t131072\t" + std::string(40, 'b') + "\t1\twrite\t0\n"},
      {"no hash", "sram-2.sav\t1\t131072\tnothex\t1\twrite\t0\n"},
      {"a page that does not exist", "sram-2.sav\t1\t131072\t" + std::string(40, 'b') + "\t7\twrite\t0\n"},
      {"a count that lies", "sram-2.sav\t1\t131072\t" + std::string(40, 'b') + "\t1\twrite\t3|A\n"},
      {"a broken escape", "sram-2.sav\t1\t131072\t" + std::string(40, 'b') + "\t1\twrite\t1|%G1\n"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const auto Entries = ParseVaultIndex(std::string(VaultIndexHeading) + "\n" + Good + C.Line + Good);
    ASSERT_EQ(Entries.size(), 2u);
    EXPECT_EQ(Entries[0].Titles, std::vector<std::string>{"GAME"});
  }
  EXPECT_TRUE(ParseVaultIndex("some other file\n" + Good).empty());
}

TEST(VaultName, TimeAndTitlesThatAFileNameCanHold) {
  const int64_t Time = 1797000000;
  const std::string Stamp = VaultFileName(Time, {}).substr(0, 20);   // "sram-YYYYMMDD-HHMMSS"
  EXPECT_EQ(VaultFileName(Time, {}), Stamp + ".sav");
  EXPECT_EQ(VaultFileName(Time, {"POKE RED", "TETRIS"}), Stamp + "_POKE-RED_TETRIS.sav");
  EXPECT_EQ(VaultFileName(Time, {"A/B:C"}, 3), Stamp + "_A_B_C-3.sav");
  EXPECT_EQ(VaultFileName(Time, {""}), Stamp + "_Untitled.sav");
  const std::string Long = VaultFileName(Time, std::vector<std::string>(10, "ABCDEFGHIJKLMNO"));
  EXPECT_LE(Long.size(), Stamp.size() + 80 + 4);
  EXPECT_EQ(Long.find('/'), std::string::npos);
}

class VaultStore : public ::testing::Test {
protected:
  TScratchDir Dir;
  std::string Folder() const { return Dir.File("backups"); }
};

TEST_F(VaultStore, AnUnchangedSaveIsNotStoredTwice) {
  TSaveVault Vault(Folder());
  TVaultStore First, Again, Changed;
  std::string Error;
  ASSERT_TRUE(Vault.Store(Save(1), {"GAMEA"}, 1, "write", First, Error, 100)) << Error;
  EXPECT_TRUE(First.Added);
  EXPECT_EQ(ReadBytes(First.Path), Save(1));
  ASSERT_TRUE(Vault.Store(Save(1), {"GAMEB"}, 1, "format", Again, Error, 200)) << Error;
  EXPECT_FALSE(Again.Added);
  EXPECT_EQ(Again.Path, First.Path) << "the latest backup holds it already";
  ASSERT_TRUE(Vault.Store(Save(2), {"GAMEB"}, 1, "write", Changed, Error, 300)) << Error;
  EXPECT_TRUE(Changed.Added);
  EXPECT_EQ(FilesIn(Folder()), 2u);
  // Equal to an older backup but not the latest: a new state, stored.
  TVaultStore Back;
  ASSERT_TRUE(Vault.Store(Save(1), {}, 1, "write", Back, Error, 400)) << Error;
  EXPECT_TRUE(Back.Added);
  const auto Entries = Vault.Entries();
  ASSERT_EQ(Entries.size(), 3u);
  EXPECT_EQ(Entries[0].Titles, std::vector<std::string>{"GAMEA"});
  EXPECT_EQ(Entries[0].Before, "write");
  EXPECT_EQ(Entries[1].Time, 300);
}

TEST_F(VaultStore, ALatestBackupThatWasChangedOrRemovedIsStoredAgain) {
  for (const bool Remove : {true, false}) {
    SCOPED_TRACE(Remove ? "removed" : "changed");
    TSaveVault Vault(Folder() + (Remove ? "1" : "2"));
    TVaultStore First, Again;
    std::string Error;
    ASSERT_TRUE(Vault.Store(Save(1), {}, 1, "write", First, Error, 100));
    if (Remove)
      fs::remove(First.Path);
    else
      WriteBytes(First.Path, Save(9));
    ASSERT_TRUE(Vault.Store(Save(1), {}, 1, "write", Again, Error, 200));
    EXPECT_TRUE(Again.Added);
    EXPECT_EQ(ReadBytes(Again.Path), Save(1));
  }
}

TEST_F(VaultStore, TheLimitDropsTheOldestAndKeepsTheOneAskedFor) {
  TSaveVault Vault(Folder(), 3);
  std::vector<std::string> Paths;
  std::string Error;
  for (uint8_t I = 0; I < 5; ++I) {
    TVaultStore Stored;
    ASSERT_TRUE(Vault.Store(Save(I), {}, 1, "write", Stored, Error, 100 + I)) << Error;
    Paths.push_back(Stored.Path);
    if (I >= 3) EXPECT_EQ(Stored.Dropped, std::vector<std::string>{Paths[I - 3]});
  }
  EXPECT_EQ(FilesIn(Folder()), 3u);
  EXPECT_FALSE(fs::exists(Paths[0]));
  EXPECT_FALSE(fs::exists(Paths[1]));
  ASSERT_EQ(Vault.Entries().size(), 3u);
  EXPECT_EQ(Vault.Entries().front().Time, 102);

  // The oldest is about to be written back: the next one goes instead.
  TVaultStore Stored;
  ASSERT_TRUE(Vault.Store(Save(7), {}, 1, "restore", Stored, Error, 200, Paths[2]));
  EXPECT_TRUE(fs::exists(Paths[2]));
  EXPECT_FALSE(fs::exists(Paths[3]));
  EXPECT_EQ(Vault.Entries().size(), 3u);
}

TEST_F(VaultStore, FilesTheIndexDoesNotKnowAreListedButLinksAreNot) {
  fs::create_directories(Folder());
  WriteBytes(Folder() + "/sram-20250101-120000.sav", Save(3));   // from an older program
  WriteBytes(Folder() + "/notes.txt", {1, 2, 3});
  WriteBytes(Dir.File("secret"), Save(4));
  fs::create_symlink(Dir.File("secret"), Folder() + "/sram-20250101-130000.sav");
  TSaveVault Vault(Folder());
  const auto Entries = Vault.Entries();
  ASSERT_EQ(Entries.size(), 1u);
  EXPECT_EQ(Entries[0].File, "sram-20250101-120000.sav");
  EXPECT_FALSE(Entries[0].TitlesKnown);
  TVaultStore Stored;
  std::string Error;
  ASSERT_TRUE(Vault.Store(Save(3), {}, 1, "write", Stored, Error));
  EXPECT_FALSE(Stored.Added) << "the older program's backup holds the same save";
  ASSERT_TRUE(Vault.Store(Save(5), {}, 1, "write", Stored, Error));
  EXPECT_NE(Text(Vault.IndexFile()).find("sram-20250101-120000.sav"), std::string::npos) << "indexed with the next";
  EXPECT_EQ(Vault.Entries().size(), 2u);
  EXPECT_EQ(ReadBytes(Dir.File("secret")), Save(4)) << "the link's target is left alone";
}

TEST_F(VaultStore, FindsByNumberAndByName) {
  TSaveVault Vault(Folder());
  std::string Error;
  TVaultStore A, B;
  ASSERT_TRUE(Vault.Store(Save(1), {}, 1, "write", A, Error, 100));
  ASSERT_TRUE(Vault.Store(Save(2), {}, 1, "write", B, Error, 200));
  EXPECT_EQ(Vault.Find("1", Error)->Time, 200) << "1 is the latest";
  EXPECT_EQ(Vault.Find("2", Error)->Time, 100);
  EXPECT_EQ(Vault.Find(A.Entry.File, Error)->Time, 100);
  EXPECT_EQ(Vault.Find(A.Path, Error)->Time, 100);
  for (const std::string& Missing : std::vector<std::string>{"0", "3", "sram-none.sav", Dir.File("elsewhere/" + A.Entry.File)}) {
    SCOPED_TRACE(Missing);
    EXPECT_FALSE(Vault.Find(Missing, Error));
    EXPECT_FALSE(Error.empty());
  }
  WriteBytes(A.Path, Save(5));
  EXPECT_FALSE(Vault.Intact(*Vault.Find("2", Error), Error));
  EXPECT_NE(Error.find("no longer holds"), std::string::npos) << Error;
}

// A vault that cannot take the backup says why and leaves everything as it was.
TEST_F(VaultStore, AVaultThatCannotBeWrittenChangesNothing) {
  const struct {
    const char* What;
    std::function<void(const std::string& Folder)> Spoil;
  } Cases[] = {
      {"the folder is a file", [](const std::string& F) { WriteBytes(F, {1}); }},
      {"the index is a folder",
       [](const std::string& F) {
         fs::create_directories(F);
         fs::create_directories(F + ".index");
       }},
      {"the index is a planted link",
       [](const std::string& F) {
         fs::create_directories(F);
         WriteBytes(F + ".target", {'k', 'e', 'e', 'p'});
         fs::create_symlink(F + ".target", F + ".index");
       }},
      {"the index is a pipe",
       [](const std::string& F) {
         fs::create_directories(F);
         ASSERT_EQ(::mkfifo((F + ".index").c_str(), 0600), 0);
       }},
  };
  int N = 0;
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string F = Folder() + std::to_string(N++);
    C.Spoil(F);
    TSaveVault Vault(F);
    TVaultStore Stored;
    std::string Error;
    EXPECT_FALSE(Vault.Store(Save(1), {}, 1, "write", Stored, Error));
    EXPECT_FALSE(Error.empty());
    EXPECT_FALSE(Stored.Added);
    if (fs::is_directory(F)) EXPECT_EQ(FilesIn(F), 0u) << "no backup left that the index does not list";
    if (fs::exists(F + ".target")) EXPECT_EQ(ReadBytes(F + ".target"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  }
}
