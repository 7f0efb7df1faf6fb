// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's repair of a cut write (write --resume) and its contact
// check (check-link, and the check before every write).
#include <regex>

#include "tests/cli/CliRig.h"

namespace {

class CliRepair : public TCliRig {};

// A pack write cut at a sample of exchanges, then written with --resume:
// the card ends as a whole write leaves it, and the outcome counts exactly
// the blocks that differed.
TEST_F(CliRepair, ACutPackWriteIsFinishedWithResume) {
  const std::string Old = AddGame("old.gb", "OLDGAME", 0x100000);
  const std::vector<std::string> New = {AddGame("a.gb", "GAMEA", 0x8000), AddGame("b.gb", "GAMEB", 0x10000),
                                        AddGame("c.gb", "GAMEC", 0x40000)};
  std::vector<std::string> Write = {"-y", "write"};
  Write.insert(Write.end(), New.begin(), New.end());
  ASSERT_EQ(Run(Cli({"-y", "write", Old})).Status, 0);
  const std::vector<uint8_t> Before = Flash();
  const TRun Whole = Run(Cli(Write));
  ASSERT_EQ(Whole.Status, 0) << Whole.Err;
  const std::vector<uint8_t> Clean = Flash();
  const long Transfers = static_cast<long>(TraceLines().size());
  constexpr uint32_t Block = 0x20000, Blocks = 4;   // the image: 512 KiB

  for (int I = 1; I <= 5; ++I) {
    const long After = Transfers * I / 6;
    SCOPED_TRACE("unplugged after " + std::to_string(After) + " of " + std::to_string(Transfers));
    WriteBytes(CardDir() + "/flash.bin", Before);
    std::vector<std::string> Cut = Write;
    Cut.insert(Cut.begin(), "--emulate-unplug-after=" + std::to_string(After));
    const TRun Pulled = Run(Cli(Cut, false));
    ASSERT_EQ(Pulled.Status, 1) << Pulled.Err;
    EXPECT_NE(Pulled.Err.find("Give --resume to write only the blocks that still differ."), std::string::npos)
        << Pulled.Err;
    const std::vector<uint8_t> Left = Flash();
    uint32_t Differ = 0;
    for (uint32_t B = 0; B < Blocks; ++B)
      Differ += !std::equal(Left.begin() + B * Block, Left.begin() + (B + 1) * Block, Clean.begin() + B * Block);

    std::vector<std::string> Resume = Write;
    Resume.push_back("--resume");
    const TRun Repaired = Run(Cli(Resume));
    ASSERT_EQ(Repaired.Status, 0) << Repaired.Err;
    EXPECT_NE(Repaired.Err.find("Write complete.  " + std::to_string(Differ) + " of 4 blocks rewritten"),
              std::string::npos)
        << Repaired.Err;
    EXPECT_NE(Repaired.Err.find("Verify complete"), std::string::npos) << Repaired.Err;
    EXPECT_NE(Repaired.Err.find("[3 Game(s) Total"), std::string::npos) << Repaired.Err;
    // The old game's header past the image is gone as a format leaves it.
    EXPECT_TRUE(Flash() == Clean) << "the card differs from a whole write";
    size_t Packets = 0;
    for (const TTracedWrite& Packet : TracedWrites()) Packets += Packet.Code == 'W';
    EXPECT_LE(Packets, Differ * Block / 32 + 1);
  }

  // Written once more: nothing differs, not one packet goes out.
  std::vector<std::string> Again = Write;
  Again.push_back("--resume");
  const TRun Same = Run(Cli(Again));
  ASSERT_EQ(Same.Status, 0) << Same.Err;
  EXPECT_NE(Same.Err.find("0 of 4 blocks rewritten"), std::string::npos) << Same.Err;
  EXPECT_TRUE(TracedWrites().empty());
}

TEST_F(CliRepair, WriteRawResumeComparesFromAddressZero) {
  const std::string Image = AddGame("raw.gb", "RAWIMAGE", 0x60000);
  ASSERT_EQ(Run(Cli({"-y", "--page=2", "write-raw", Image})).Status, 0);
  const TRun Again = Run(Cli({"-y", "--page=2", "write-raw", Image, "--resume"}));
  ASSERT_EQ(Again.Status, 0) << Again.Err;
  EXPECT_NE(Again.Err.find("0 of 3 blocks rewritten"), std::string::npos) << Again.Err;
  EXPECT_TRUE(TracedWrites().empty());
}

// check-link passes a sound cable and catches one that flips a bit on every
// second read; a write behind it sends nothing unless --no-check is given.
TEST_F(CliRepair, TheContactCheckCatchesAFlippingCable) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000);
  WriteBytes(Path("in.sav"), std::vector<uint8_t>(0x1000, 0x5A));
  ASSERT_EQ(Run(Cli({"-y", "write", A})).Status, 0);
  const std::vector<uint8_t> Before = Flash();

  const TRun Sound = Run(Cli({"check-link"}));
  EXPECT_EQ(Sound.Status, 0) << Sound.Err;
  EXPECT_NE(Sound.Err.find("Contact check passed: the card gave the same answers twice."), std::string::npos)
      << Sound.Err;
  EXPECT_TRUE(TracedWrites().empty()) << "the check writes nothing";

  const TRun Flipping = Run(Cli({"--emulate-flip", "check-link"}));
  EXPECT_EQ(Flipping.Status, 1) << Flipping.Err;
  EXPECT_TRUE(std::regex_search(Flipping.Err, std::regex("flashquill-cli: Unstable contact: the card answered "
                                                         "differently twice \\(.*\\); clean the card's contacts and "
                                                         "try again\\.")))
      << Flipping.Err;

  const struct {
    const char* What;
    std::vector<std::string> Args;
  } Writes[] = {
      {"write", {"--emulate-flip", "-y", "write", A, "--no-verify"}},
      {"write-raw", {"--emulate-flip", "-y", "write-raw", A, "--no-verify"}},
      {"write-sram", {"--emulate-flip", "-y", "write-sram", Path("in.sav"), "--no-verify"}},
  };
  for (const auto& Case : Writes) {
    SCOPED_TRACE(Case.What);
    const TRun Refused = Run(Cli(Case.Args));
    EXPECT_EQ(Refused.Status, 1) << Refused.Err;
    EXPECT_NE(Refused.Err.find("clean the card's contacts and try again"), std::string::npos) << Refused.Err;
    EXPECT_NE(Refused.Err.find("Nothing was written."), std::string::npos) << Refused.Err;
    EXPECT_NE(Refused.Err.find("Give --no-check to write anyway."), std::string::npos) << Refused.Err;
    EXPECT_TRUE(TracedWrites().empty());
    std::vector<std::string> Anyway = Case.Args;
    Anyway.push_back("--no-check");
    const TRun Written = Run(Cli(Anyway));
    EXPECT_EQ(Written.Status, 0) << Written.Err;
    EXPECT_FALSE(TracedWrites().empty());
  }
  EXPECT_EQ(Flash(), Before) << "the same game written again";
  // The flip is a test aid of the emulated cable only.
  const TRun Real = Run({"--emulate-flip", "check-link"});
  EXPECT_EQ(Real.Status, 2) << Real.Err;
  EXPECT_NE(Real.Err.find("--emulate-flip is a test aid of the emulated cable; it needs --emulate"), std::string::npos)
      << Real.Err;
}

}  // namespace
