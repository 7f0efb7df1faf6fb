// Where the command line meets the file system and other programs: files
// replaced only when complete, refusals before anything is touched, one
// program per card.
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "tests/cli/CliRig.h"

namespace {

class CliEdges : public TCliRig {
protected:
  // Every name in Folder, hidden ones too.
  std::vector<std::string> Names(const std::string& Folder) const {
    std::vector<std::string> Found;
    for (const auto& Entry : fs::directory_iterator(Folder)) Found.push_back(Entry.path().filename().string());
    std::sort(Found.begin(), Found.end());
    return Found;
  }
  // The number of transfers of a whole run of Args (traced).
  long Transfers(const std::vector<std::string>& Args) {
    const TRun Whole = Run(Cli(Args));
    EXPECT_EQ(Whole.Status, 0) << Whole.Err;
    return static_cast<long>(TraceLines().size());
  }
};

// A read cut short by a pulled cable leaves the file it was to replace as it
// was, and no temporary beside it.
TEST_F(CliEdges, AReadCutShortLeavesTheOldFileAsItWas) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x10000), B = AddGame("b.gb", "GAMEB", 0x8000);
  ASSERT_EQ(Run(Cli({"-y", "write", A, B})).Status, 0);
  fs::create_directories(Path("out"));
  const struct {
    const char* What;
    std::vector<std::string> Args;
    std::string Target;
  } Cases[] = {
      {"read of one game", {"-y", "read", "2", "-o", Path("out/mine.gb")}, Path("out/mine.gb")},
      {"read --all", {"-y", "read", "--all", "-o", Path("out")}, Path("out/GAMEA.GB")},
      {"read-sram", {"-y", "read-sram", Path("out/s.sav")}, Path("out/s.sav")},
      {"read-raw", {"-y", "read-raw", "64K", Path("out/raw.bin")}, Path("out/raw.bin")},
  };
  const std::vector<uint8_t> Old(0x10000, 0x5A);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    fs::remove_all(Path("out"));
    fs::create_directories(Path("out"));
    WriteBytes(C.Target, Old);
    ::chmod(C.Target.c_str(), 0640);
    const long Whole = Transfers(C.Args);
    ASSERT_NE(ReadBytes(C.Target), Old) << "the whole run did not replace the file";
    // Past the listing, before the closing identification: inside the read.
    for (const long After : {Whole - 12, Whole - 6}) {
      WriteBytes(C.Target, Old);
      std::vector<std::string> Args = C.Args;
      Args.insert(Args.begin(), "--emulate-unplug-after=" + std::to_string(After));
      const TRun Cut = Run(Cli(Args, false));
      EXPECT_EQ(Cut.Status, 1) << Cut.Err;
      EXPECT_NE(Cut.Err.find("Now reading..."), std::string::npos) << Cut.Err;
      EXPECT_EQ(ReadBytes(C.Target), Old) << Cut.Err;
      EXPECT_NE(Cut.Err.find("the file is as it was before"), std::string::npos) << Cut.Err;
      for (const std::string& Name : Names(Path("out"))) EXPECT_EQ(Name.find('.'), Name.rfind('.')) << Name;
    }
    // A whole read keeps the permissions of the file it replaced.
    WriteBytes(C.Target, Old);
    ::chmod(C.Target.c_str(), 0640);
    ASSERT_EQ(Run(Cli(C.Args, false)).Status, 0);
    struct stat Info {};
    ASSERT_EQ(::stat(C.Target.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0640u);
  }
}

// A symbolic link as the target is kept; the file it points to is replaced.
TEST_F(CliEdges, AReadThroughALinkReplacesTheFileItPointsTo) {
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000)})).Status, 0);
  fs::create_directories(Path("real"));
  WriteBytes(Path("real/game.gb"), {1, 2, 3});
  fs::create_symlink(Path("real/game.gb"), Path("link.gb"));
  const TRun Read = Run(Cli({"-y", "read", "1", "-o", Path("link.gb")}, false));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  EXPECT_TRUE(fs::is_symlink(Path("link.gb")));
  EXPECT_EQ(ReadBytes(Path("real/game.gb")), ReadBytes(Path("a.gb")));
  EXPECT_EQ(Names(Path("real")), std::vector<std::string>{"game.gb"});
}

// Two games of one title each get a file of their own.
TEST_F(CliEdges, GamesOfOneTitleGetNamesOfTheirOwn) {
  const std::string A = AddGame("a.gb", "SAME", 0x8000);
  std::vector<uint8_t> Other = MakeGame("SAME", 0x8000);
  Other[0x2000] ^= 0xFF;
  WriteBytes(Path("b.gb"), Other);
  ASSERT_EQ(Run(Cli({"-y", "write", A, Path("b.gb"), AddGame("c.gb", "OTHER", 0x8000)})).Status, 0);
  fs::create_directories(Path("out"));
  const TRun Read = Run(Cli({"-y", "read", "--all", "-o", Path("out")}, false));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  EXPECT_EQ(Names(Path("out")), (std::vector<std::string>{"OTHER.GB", "SAME (2).GB", "SAME.GB"}));
  const std::vector<uint8_t> First = ReadBytes(Path("out/SAME.GB")), Second = ReadBytes(Path("out/SAME (2).GB"));
  EXPECT_NE(First, Second);
  EXPECT_TRUE(First == ReadBytes(A) || First == Other);
  EXPECT_TRUE(Second == ReadBytes(A) || Second == Other);
}

// Sizes that do nothing or run past the card are refused before the cable
// is used, and leave no file.
TEST_F(CliEdges, ReadAndWriteSizesThatCannotBeDoneAreRefused) {
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000)})).Status, 0);
  WriteBytes(Path("empty.sav"), {});
  const struct {
    const char* What;
    std::vector<std::string> Args;
    const char* Says;
  } Cases[] = {
      {"8M from page 2", {"-y", "--page=2", "read-raw", "8M", Path("x.bin")}, "runs past the end of the card"},
      {"4M+1 from page 2", {"-y", "--page=2", "read-raw", "4194305", Path("x.bin")}, "runs past the end of the card"},
      {"nothing", {"-y", "read-raw", "0", Path("x.bin")}, "the size is 0 bytes"},
      {"an empty save", {"-y", "write-sram", Path("empty.sav")}, "empty"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    fs::remove(TracePath());
    const std::vector<uint8_t> Card = Flash(), Save = ReadBytes(CardDir() + "/sram.bin");
    const TRun Refused = Run(Cli(C.Args));
    EXPECT_NE(Refused.Status, 0) << Refused.Err;
    EXPECT_NE(Refused.Err.find(C.Says), std::string::npos) << Refused.Err;
    EXPECT_FALSE(fs::exists(Path("x.bin")));
    EXPECT_TRUE(TracedWrites().empty());
    EXPECT_TRUE(Flash() == Card);
    EXPECT_TRUE(ReadBytes(CardDir() + "/sram.bin") == Save);
  }
  // The whole of page 2 still reads.
  EXPECT_EQ(Run(Cli({"-y", "--page=2", "read-raw", "4M", Path("x.bin")}, false)).Status, 0);
  EXPECT_EQ(fs::file_size(Path("x.bin")), 0x400000u);
}

}  // namespace
