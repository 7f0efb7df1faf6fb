// SPDX-License-Identifier: GPL-3.0-or-later
// The save vault from the command line: every operation that can lose the
// save RAM keeps it first, 'backups' lists them, 'restore' writes one back,
// and a vault that cannot be written stops the operation.
#include <sys/mount.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "tests/cli/CliRig.h"

namespace {

using nlohmann::json;

class CliVault : public TCliRig {
protected:
  std::string Vault() const { return Path("data/flashquill/backups"); }
  std::vector<std::string> Backups() const {
    std::vector<std::string> Files;
    std::error_code Error;
    for (fs::directory_iterator It(Vault(), Error), End; !Error && It != End; It.increment(Error))
      Files.push_back(It->path().string());
    std::sort(Files.begin(), Files.end());
    return Files;
  }
  std::vector<uint8_t> Sram() const { return ReadBytes(CardDir() + "/sram.bin"); }
  void SetSram(uint8_t Seed) {
    std::vector<uint8_t> Bytes(0x20000);
    for (size_t I = 0; I < Bytes.size(); ++I) Bytes[I] = static_cast<uint8_t>(I * 5 + Seed + (I >> 9));
    WriteBytes(CardDir() + "/sram.bin", Bytes);
  }
  // The newest backup, as 'backups --json' numbers it 1.
  json Listing() {
    const TRun List = Run({"backups", "--json"});
    EXPECT_EQ(List.Status, 0) << List.Err;
    return json::parse(List.Out);
  }
  void SetUp() override {
    TCliRig::SetUp();
    // The card is made by its first use.
    ASSERT_EQ(Run(Cli({"info"}, false)).Status, 0);
  }
  void TearDown() override {
    ::umount2(Path("data").c_str(), MNT_DETACH);
    TCliRig::TearDown();
  }
};

// One new backup for each, byte for byte the save RAM before; run again on
// an unchanged save RAM, none.
TEST_F(CliVault, EveryOperationThatCanLoseTheSaveKeepsItFirst) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x8000);
  ASSERT_EQ(Run(Cli({"-y", "write", A, B, "--no-backup"})).Status, 0);
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x1000, 0x77));
  ASSERT_EQ(Run(Cli({"-y", "write-sram", Path("in.sav"), "--no-backup"})).Status, 0);
  EXPECT_TRUE(Backups().empty()) << "--no-backup keeps none";
  const struct {
    const char* What;
    std::vector<std::string> Args;
    const char* Before;
  } Cases[] = {
      {"pack write", {"-y", "write", A, B}, "write"},
      {"raw write", {"-y", "write-raw", A}, "write-raw"},
      {"save RAM write", {"-y", "write-sram", Path("in.sav")}, "write-sram"},
      {"format", {"-y", "format"}, "format"},
      {"save RAM test", {"-y", "test-sram", Path("in.sav")}, "test-sram"},
      {"flash test", {"-y", "test-rom", A}, "test-rom"},
      {"restore", {"-y", "restore", "2"}, "restore"},
  };
  uint8_t Seed = 1;
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    SetSram(Seed++);
    const std::vector<uint8_t> Before = Sram();
    const std::vector<std::string> Old = Backups();
    const TRun Done = Run(Cli(C.Args));
    ASSERT_EQ(Done.Status, 0) << Done.Err;
    const std::vector<std::string> Now = Backups();
    ASSERT_EQ(Now.size(), Old.size() + 1);
    const json Newest = Listing()["backups"][0];
    EXPECT_EQ(ReadBytes(Newest["file"]), Before) << "the backup is the save RAM before";
    EXPECT_EQ(Newest["before"], C.Before);
    EXPECT_NE(Done.Err.find("The save RAM as it was is kept in " + Newest["file"].get<std::string>()),
              std::string::npos)
        << Done.Err;
  }
  // Unchanged since the last backup: the format keeps no second copy.
  SetSram(99);
  ASSERT_EQ(Run(Cli({"-y", "format"})).Status, 0);
  const size_t Count = Backups().size();
  const TRun Again = Run(Cli({"-y", "format"}));
  ASSERT_EQ(Again.Status, 0) << Again.Err;
  EXPECT_EQ(Backups().size(), Count);
  EXPECT_NE(Again.Err.find("unchanged since that backup"), std::string::npos) << Again.Err;
}

TEST_F(CliVault, BackupsListsNewestFirstWithTheTitlesOfThePage) {
  const TRun Empty = Run({"backups"});
  EXPECT_EQ(Empty.Status, 0) << Empty.Err;
  EXPECT_NE(Empty.Out.find("0 backup(s) in " + Vault()), std::string::npos) << Empty.Out;
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "POKE RED", 0x8000), "--no-backup"})).Status, 0);
  SetSram(1);
  ASSERT_EQ(Run(Cli({"-y", "format"})).Status, 0);
  SetSram(2);
  ASSERT_EQ(Run(Cli({"-y", "format"})).Status, 0);
  const TRun Text = Run({"backups"});
  ASSERT_EQ(Text.Status, 0) << Text.Err;
  const json List = Listing();
  ASSERT_EQ(List["backups"].size(), 2u);
  // Newest first: the second format found the page empty.
  const json& Newest = List["backups"][0];
  const json& First = List["backups"][1];
  EXPECT_EQ(Newest["number"], 1);
  EXPECT_EQ(Newest["titles"], json::array());
  EXPECT_EQ(First["number"], 2);
  EXPECT_EQ(First["titles"], json::array({"POKE RED"}));
  EXPECT_NE(First["file"].get<std::string>().find("_POKE-RED.sav"), std::string::npos) << First["file"];
  EXPECT_EQ(First["size"], 131072);
  // The same facts in the text.
  EXPECT_NE(Text.Out.find(First["sha1"].get<std::string>()), std::string::npos) << Text.Out;
  EXPECT_NE(Text.Out.find("2 backup(s) in "), std::string::npos) << Text.Out;
  EXPECT_LT(Text.Out.find("(no games)"), Text.Out.find("POKE RED")) << "newest first: " << Text.Out;
}

TEST_F(CliVault, RestoreRoundTripsAndKeepsWhatItOverwrites) {
  SetSram(5);
  const std::vector<uint8_t> Original = Sram();
  WriteBytes(Path("other.sav"), std::vector<uint8_t>(0x20000, 0x3C));
  ASSERT_EQ(Run(Cli({"-y", "write-sram", Path("other.sav")})).Status, 0);
  ASSERT_EQ(Sram(), std::vector<uint8_t>(0x20000, 0x3C));

  const TRun Restore = Run(Cli({"-y", "restore", "1", "--json"}));
  ASSERT_EQ(Restore.Status, 0) << Restore.Err;
  EXPECT_EQ(Sram(), Original) << "the backup is on the card again";
  const json Out = json::parse(Restore.Out);
  EXPECT_EQ(Out["command"], "restore");
  EXPECT_EQ(Out["verify"]["ok"], true);
  EXPECT_EQ(Out["backup"]["new"], true);
  EXPECT_EQ(ReadBytes(Out["backup"]["file"]), std::vector<uint8_t>(0x20000, 0x3C)) << "what it overwrote is kept";
  // And back again, by name.
  const std::string Name = fs::path(Out["backup"]["file"].get<std::string>()).filename().string();
  ASSERT_EQ(Run(Cli({"-y", "restore", Name})).Status, 0);
  EXPECT_EQ(Sram(), std::vector<uint8_t>(0x20000, 0x3C));
}

TEST_F(CliVault, RestoreRefusesWhatIsNoWholeBackup) {
  SetSram(5);
  ASSERT_EQ(Run(Cli({"-y", "format"})).Status, 0);
  const std::string File = Listing()["backups"][0]["file"];
  WriteBytes(File, std::vector<uint8_t>(0x20000, 0xEE));   // damaged since
  const struct {
    const char* What;
    std::string Backup;
    const char* Says;
  } Cases[] = {
      {"a damaged backup", "1", "no longer holds"},
      {"a number past the last", "7", "no backup 7"},
      {"a file outside the vault", Path("x.sav"), "no backup named"},
  };
  WriteBytes(Path("x.sav"), std::vector<uint8_t>(0x20000, 1));
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    fs::remove(TracePath());
    const std::vector<uint8_t> Before = Sram();
    const TRun Refused = Run(Cli({"-y", "restore", C.Backup}));
    EXPECT_EQ(Refused.Status, 1);
    EXPECT_NE(Refused.Err.find(C.Says), std::string::npos) << Refused.Err;
    EXPECT_EQ(Sram(), Before);
    EXPECT_TRUE(TracedWrites().empty());
  }
}

// The data folder read-only, or full: the operation stops before the card
// is touched and says why; --no-backup goes on.
TEST_F(CliVault, AVaultThatCannotBeWrittenStopsTheOperation) {
  const struct {
    const char* What;
    const char* Options;   // tmpfs mount options
  } Cases[] = {
      {"read-only data folder", "ro,size=1m"},
      {"full data folder", "size=64k"},
  };
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x100, 0x11));
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    ::umount2(Path("data").c_str(), MNT_DETACH);
    fs::remove_all(Path("data"));
    fs::create_directories(Path("data"));
    if (::mount("tmpfs", Path("data").c_str(), "tmpfs", 0, C.Options) != 0) {
      if (std::string(C.Options).rfind("ro", 0) != 0 || ::geteuid() == 0) {
        std::printf("  (%s: skipped, no tmpfs can be mounted here)\n", C.What);
        continue;
      }
      ::chmod(Path("data").c_str(), 0555);
    }
    for (const auto& Args : std::vector<std::vector<std::string>>{{"-y", "write-sram", Path("in.sav")}, {"-y", "format"}}) {
      SCOPED_TRACE(Args[1]);
      SetSram(3);
      const std::vector<uint8_t> Flash = this->Flash(), Before = Sram();
      fs::remove(TracePath());
      std::vector<std::string> WithJson = Args;
      WithJson.push_back("--json");
      const TRun Stopped = Run(Cli(WithJson));
      EXPECT_EQ(Stopped.Status, 1);
      EXPECT_NE(Stopped.Err.find("Save backup failed ("), std::string::npos) << Stopped.Err;
      EXPECT_NE(Stopped.Err.find("data/flashquill"), std::string::npos) << "names where: " << Stopped.Err;
      EXPECT_NE(Stopped.Err.find("--no-backup"), std::string::npos) << Stopped.Err;
      EXPECT_TRUE(TracedWrites().empty()) << "nothing written";
      EXPECT_EQ(Sram(), Before);
      EXPECT_TRUE(this->Flash() == Flash);
      const json Out = json::parse(Stopped.Out);
      EXPECT_EQ(Out["ok"], false);
      EXPECT_EQ(Out["backup"]["made"], false);
      EXPECT_FALSE(Out["backup"]["error"].is_null());

      std::vector<std::string> Anyway = Args;
      Anyway.push_back("--no-backup");
      const TRun Done = Run(Cli(Anyway));
      EXPECT_EQ(Done.Status, 0) << Done.Err;
    }
    ::chmod(Path("data").c_str(), 0755);
  }
}

}  // namespace
