// SPDX-License-Identifier: GPL-3.0-or-later
// What keeps the command line from losing data: questions before anything
// is replaced, the save backup, the verify after a write, the header checks,
// and what a write that ends early says.
#include <algorithm>
#include <regex>

#include "tests/cli/CliRig.h"

namespace {

class CliSafety : public TCliRig {
protected:
  // Files in the data folder's backups.
  std::vector<std::string> Backups() const {
    std::vector<std::string> Files;
    std::error_code Error;
    for (fs::directory_iterator It(Path("data/flashquill/backups"), Error), End; !Error && It != End;
         It.increment(Error))
      Files.push_back(It->path().string());
    return Files;
  }
  std::vector<uint8_t> Sram() const { return ReadBytes(CardDir() + "/sram.bin"); }
};

// Each question: refused without a terminal (nothing changes), done with --yes.
TEST_F(CliSafety, QuestionsAreRefusedWithoutATerminalAndDoneWithYes) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x8000);
  ASSERT_EQ(Run(Cli({"-y", "write", A, B})).Status, 0);
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x1000, 0x77));
  const std::vector<uint8_t> Mine = {1, 2, 3};
  fs::create_directories(Path("out"));
  const struct {
    const char* What;
    std::vector<std::string> Args;
    std::string Kept;   // a file that must stay as it was when refused ("" : the card only)
  } Cases[] = {
      {"read-sram over a file", {"read-sram", Path("mine.sav")}, Path("mine.sav")},
      {"read-raw over a file", {"read-raw", "32K", Path("mine.bin")}, Path("mine.bin")},
      {"read of one game over a file", {"read", "1", "-o", Path("mine.gb")}, Path("mine.gb")},
      {"read --all over a file", {"read", "--all", "-o", Path("out")}, Path("out/GAMEB.GB")},
      {"write-sram", {"write-sram", Path("in.sav")}, ""},
      {"test-sram", {"test-sram", Path("in.sav")}, ""},
      {"format", {"format"}, ""},
      {"write-raw", {"write-raw", A}, ""},
      {"test-rom", {"test-rom", A}, ""},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    if (!C.Kept.empty()) WriteBytes(C.Kept, Mine);
    const std::vector<uint8_t> Flash = this->Flash(), Save = Sram();
    const TRun Refused = Run(Cli(C.Args, false));
    EXPECT_EQ(Refused.Status, 1) << Refused.Err;
    EXPECT_NE(Refused.Err.find("give --yes to confirm"), std::string::npos) << Refused.Err;
    EXPECT_TRUE(this->Flash() == Flash) << "the card's flash changed";
    EXPECT_TRUE(Sram() == Save) << "the save RAM changed";
    if (!C.Kept.empty()) EXPECT_EQ(ReadBytes(C.Kept), Mine);

    std::vector<std::string> Yes = C.Args;
    Yes.insert(Yes.begin(), "--yes");
    const TRun Done = Run(Cli(Yes, false));
    EXPECT_EQ(Done.Status, 0) << Done.Err;
    if (!C.Kept.empty()) EXPECT_NE(ReadBytes(C.Kept), Mine);
  }
}

// The save RAM as it was, byte for byte, in a backup the run names.
TEST_F(CliSafety, SaveRamWriteNamesItsBackup) {
  std::vector<uint8_t> Before(0x20000);
  for (size_t I = 0; I < Before.size(); ++I) Before[I] = static_cast<uint8_t>(I * 31 + (I >> 11));
  WriteBytes(Path("before.sav"), Before);
  ASSERT_EQ(Run(Cli({"-y", "write-sram", Path("before.sav")})).Status, 0);
  for (const std::string& Old : Backups()) fs::remove(Old);

  WriteBytes(Path("after.sav"), std::vector<uint8_t>(0x800, 0xA5));
  const TRun Write = Run(Cli({"-y", "write-sram", Path("after.sav")}));
  ASSERT_EQ(Write.Status, 0) << Write.Err;
  const std::vector<std::string> Made = Backups();
  ASSERT_EQ(Made.size(), 1u);
  EXPECT_NE(Write.Err.find("The save RAM as it was is kept in " + Made[0]), std::string::npos) << Write.Err;
  EXPECT_TRUE(std::regex_search(Made[0], std::regex(R"(/sram-[0-9]{8}-[0-9]{6}\.sav$)"))) << Made[0];
  EXPECT_EQ(ReadBytes(Made[0]), Before);
  EXPECT_NE(Write.Err.find("Verify complete"), std::string::npos) << Write.Err;
}

// A worn cell is caught by the verify, which names its address and game;
// --no-verify reads nothing back.
TEST_F(CliSafety, WeakCellIsCaughtUnlessTheVerifyIsSkipped) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x10000);
  // The pack: menu at 0, GAMEA at 32 KiB, GAMEB at 64 KiB.
  const TRun Caught = Run(Cli({"--emulate-weak-cell=0x10100:0x81", "-y", "write", A, B}));
  EXPECT_EQ(Caught.Status, 1);
  EXPECT_NE(Caught.Err.find("Verify failed: the card differs from what was written at card address 0x010100 "
                            "(game \"GAMEB\")"),
            std::string::npos)
      << Caught.Err;

  const TRun Skipped = Run(Cli({"--emulate-weak-cell=0x10100:0x81", "-y", "write", A, B, "--no-verify"}));
  EXPECT_EQ(Skipped.Status, 0) << Skipped.Err;
  EXPECT_EQ(Skipped.Err.find("Verify"), std::string::npos) << Skipped.Err;
  // After the first write packet, no read of the flash but the listing's
  // 512-byte probes.
  bool Writing = false;
  for (const std::string& Line : TraceLines()) {
    if (Line.rfind("OUT 41 ", 0) == 0) Writing = true;
    if (Writing && Line.rfind("OUT 9 ff", 0) == 0) EXPECT_EQ(Line.substr(Line.size() - 4), "0200") << Line;
  }
}

// A file that fails the header checks is refused with its reasons, and
// written with --force.
TEST_F(CliSafety, HeaderChecksRefuseUnlessForced) {
  std::vector<uint8_t> Noise = MakeGame("NOISE", 0x8000);
  std::fill(Noise.begin() + 0x104, Noise.begin() + 0x10C, 0);   // logo spoilt
  WriteBytes(Path("noise.gb"), Noise);
  std::vector<uint8_t> Short = MakeGame("SHORT", 0x10000);
  Short.resize(0x8000);
  WriteBytes(Path("short.gb"), Short);

  const TRun Refused = Run(Cli({"-y", "write", Path("noise.gb"), Path("short.gb")}));
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_NE(Refused.Err.find("noise.gb has no Game Boy logo"), std::string::npos) << Refused.Err;
  EXPECT_NE(Refused.Err.find("short.gb is shorter (32 KiB) than its header says (64 KiB)"), std::string::npos)
      << Refused.Err;
  EXPECT_NE(Refused.Err.find("--force"), std::string::npos) << Refused.Err;
  EXPECT_TRUE(TracedWrites().empty());
  EXPECT_EQ(Run(Cli({"pack", Path("noise.gb"), "-o", Path("image.gb")}, false)).Status, 1);
  EXPECT_FALSE(fs::exists(Path("image.gb")));

  const TRun Forced = Run(Cli({"-y", "write", Path("noise.gb"), Path("short.gb"), "--force"}));
  EXPECT_EQ(Forced.Status, 0) << Forced.Err;
  EXPECT_NE(Forced.Err.find("Queued anyway (--force)"), std::string::npos) << Forced.Err;
}

// The cable pulled after a sample of exchange counts, spread densely over
// each operation: never a crash or a hang, the link's error said, the card
// files keep their sizes, and a write cut short says what it left.
TEST_F(CliSafety, UnplugSweep) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x8000),
                    C = AddGame("c.gb", "GAMEC", 0x10000);
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x2000, 0x3C));
  const struct {
    const char* What;
    std::vector<std::string> Args;
    const char* Started;  // said once the transfer that changes the card or file began
    const char* Report;   // said when that transfer was cut short
  } Ops[] = {
      {"pack write", {"-y", "write", A, B, C}, "Now writting...", "holds only part of the image"},
      {"game read", {"-y", "read", "3", "-o", Path("back.gb")}, "Now reading...", "is incomplete"},
      {"save RAM write", {"-y", "write-sram", Path("in.sav")}, "Now writting...", "The save RAM is now partly written"},
      {"format", {"-y", "format"}, "Format failed", "is now partly formatted"},
  };
  for (const auto& Op : Ops) {
    ASSERT_EQ(Run(Cli(Op.Args)).Status, 0) << Op.What;
    const long Transfers = static_cast<long>(TraceLines().size());
    std::vector<long> Sample = {1, 2, 3, 4, 5, 7, 9, 12};
    for (int I = 1; I < 24; ++I) Sample.push_back(Transfers * I / 24);
    Sample.push_back(Transfers - 2);
    for (long After : Sample) {
      SCOPED_TRACE(std::string(Op.What) + ", unplugged after " + std::to_string(After) + " of " +
                   std::to_string(Transfers));
      std::vector<std::string> Args = Op.Args;
      Args.insert(Args.begin(), "--emulate-unplug-after=" + std::to_string(After));
      const TRun Cut = Run(Cli(Args, false));
      // A pull during the closing steps (the last identification, the page
      // selection) leaves the operation whole and done.
      EXPECT_TRUE(Cut.Status == 1 || Cut.Status == 0) << Cut.Status << "\n" << Cut.Err;
      if (Cut.Status == 1)
        EXPECT_TRUE(Cut.Err.find("Error Code: ") != std::string::npos ||
                    Cut.Err.find("Device Disconnected") != std::string::npos)
            << Cut.Err;
      EXPECT_EQ(fs::file_size(CardDir() + "/flash.bin"), 0x800000u);
      EXPECT_EQ(fs::file_size(CardDir() + "/sram.bin"), 0x20000u);
      const bool Started = Cut.Err.find(Op.Started) != std::string::npos;
      const bool Whole = Cut.Err.find("Write complete.") != std::string::npos ||
                         Cut.Err.find("Read complete.") != std::string::npos;
      if (Started && !Whole && After > 12)
        EXPECT_NE(Cut.Err.find(Op.Report), std::string::npos) << Cut.Err;
    }
  }
}

}  // namespace
