// SPDX-License-Identifier: GPL-3.0-or-later
// The other commands end to end: usage errors, the factory tests, the ports,
// raw and save-RAM round trips, and titles that are no plain text.
#include "tests/cli/CliRig.h"

namespace {

class CliCommands : public TCliRig {};

TEST_F(CliCommands, UsageErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> Cases = {
      {},
      {"frob"},
      {"--page=3", "list"},
      {"--emulate", "--usb=b1d9:0c01", "info"},
      {"--usb=xyz", "info"},
      {"list", "--bogus"},
      {"read"},
      {"read", "1", "--all"},
      {"read", "first"},
      {"write"},
      {"read-raw", "9M", "out.bin"},
      {"read-raw", "1024K(2M)", "out.bin"},
      {"ports", "--set", "0123"},
      {"ports", "--set", "0123456789ABCDEG"},
      {"pack", "a.gb"},
      {"--page=2", "test-rom", "a.gb"},
      {"--emulate-unplug-after=5", "info"},
      {"--emulate-weak-cell=0x100:1", "info"},
      {"--emulate", "--emulate-weak-cell=0x100", "info"},
      {"--emulate", "--emulate-unplug-after=x", "info"},
  };
  for (const auto& Args : Cases) {
    std::string Shown;
    for (const std::string& Arg : Args) Shown += Arg + " ";
    SCOPED_TRACE(Shown);
    std::vector<std::string> Line = Args;
    // The test-rom case needs a file that exists, to reach its page check.
    if (!Args.empty() && Args.back() == "a.gb") Line.back() = AddGame("a.gb", "A", 0x8000);
    const TRun Result = Run(Line.size() > 1 && Line[0] == "--page=2" ? Cli(Line, false) : Line);
    EXPECT_EQ(Result.Status, 2) << Result.Err;
    EXPECT_EQ(Result.ErrLines().size(), 1u) << Result.Err;
    EXPECT_TRUE(Result.Out.empty()) << Result.Out;
  }
}

TEST_F(CliCommands, HelpForTheProgramAndEachCommand) {
  const TRun Help = Run({"--help"});
  EXPECT_EQ(Help.Status, 0);
  for (const char* Command : {"info", "list", "read", "write", "read-sram", "write-sram", "format", "read-raw",
                              "write-raw", "pack", "test-rom", "test-sram", "ports"}) {
    EXPECT_NE(Help.Out.find(std::string("  ") + Command + " "), std::string::npos) << Command;
    const TRun Own = Run({Command, "--help"});
    EXPECT_EQ(Own.Status, 0) << Command;
    EXPECT_EQ(Own.Out.rfind(std::string("Usage: flashquill-cli [options] ") + Command, 0), 0u) << Own.Out;
    // "help COMMAND" says the same, whatever arguments the command needs.
    const TRun Asked = Run({"help", Command});
    EXPECT_EQ(Asked.Status, 0) << Command << ": " << Asked.Err;
    EXPECT_EQ(Asked.Out, Own.Out) << Command;
  }
}

TEST_F(CliCommands, FactoryTestsGiveTheirVerdict) {
  const std::string Rom = AddGame("test.gb", "TEST", 0x10000);
  std::vector<uint8_t> Save(0x2000);
  for (size_t I = 0; I < Save.size(); ++I) Save[I] = static_cast<uint8_t>(I * 7);
  WriteBytes(Path("test.sav"), Save);
  struct TCase {
    const char* Command;
    std::string File;
    const char* ReadBack;
    bool Flip;
    const char* Verdict;
    int Status;
  };
  const TCase Cases[] = {
      {"test-rom", Rom, "GBTestROM.gb", false, "OK\n", 0},
      {"test-rom", Rom, "GBTestROM.gb", true, "FAILED\n", 1},
      {"test-sram", Path("test.sav"), "GBTestSRAM.sav", false, "OK\n", 0},
      {"test-sram", Path("test.sav"), "GBTestSRAM.sav", true, "FAILED\n", 1},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Command) + (Case.Flip ? " flipped" : ""));
    // --yes: the tests ask before they overwrite the card.
    std::vector<std::string> Args = {"--yes", Case.Command, Case.File};
    if (Case.Flip) Args.insert(Args.begin(), "--emulate-flip=7:0x01");
    const TRun Test = Run(Cli(Args));
    EXPECT_EQ(Test.Out, Case.Verdict) << Test.Err;
    EXPECT_EQ(Test.Status, Case.Status);
    // The read-back stays where the data folder is, the test file's size.
    const std::vector<uint8_t> Back = ReadBytes(Path(std::string("data/flashquill/") + Case.ReadBack));
    const std::vector<uint8_t> Expected = ReadBytes(Case.File);
    ASSERT_EQ(Back.size(), Expected.size());
    EXPECT_EQ(Back[7] != Expected[7], Case.Flip);
  }
}

// A test file the card cannot take is a FAILED test with its reason, not a
// cancelled one; nothing of it is called OK.
TEST_F(CliCommands, FactoryTestOfAFileTooLargeFailsWithTheReason) {
  WriteBytes(Path("huge.gb"), std::vector<uint8_t>(0x800001, 0x55));
  WriteBytes(Path("huge.sav"), std::vector<uint8_t>(0x20001, 0x55));
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"test-rom", "--write-only", Path("huge.gb")},
        std::vector<std::string>{"test-sram", Path("huge.sav")}}) {
    SCOPED_TRACE(Args[0]);
    std::vector<std::string> Line = Args;
    Line.insert(Line.begin(), "--yes");
    const TRun Test = Run(Cli(Line, false));
    EXPECT_EQ(Test.Out, "FAILED\n") << Test.Err;
    EXPECT_EQ(Test.Status, 1);
    EXPECT_NE(Test.Err.find(Args[0] == "test-rom" ? "Image file too large!" : "Save file too large!"),
              std::string::npos)
        << Test.Err;
  }
}

TEST_F(CliCommands, PortsAreSetAndReadBack) {
  const TRun Fresh = Run(Cli({"ports"}));
  EXPECT_EQ(Fresh.Status, 0) << Fresh.Err;
  EXPECT_EQ(Fresh.Out.substr(0, 16), "FFFFFFFFFFFFFFFF");
  const TRun Set = Run(Cli({"ports", "--set", "0123456789abcdef"}));
  EXPECT_EQ(Set.Status, 0) << Set.Err;
  EXPECT_EQ(Set.Out, "0123456789ABCDEF  P0IO=01 P1IO=23 P2IO=45 P3IO=67 P0=89 P1=AB P2=CD P3=EF\n");
  // One set-ports packet with the bytes in order, then one get-ports.
  const std::vector<std::string> Lines = TraceLines();
  EXPECT_NE(std::find(Lines.begin(), Lines.end(), "OUT 9 310123456789abcdef"), Lines.end());
}

TEST_F(CliCommands, RawAndSaveRamRoundTrips) {
  std::vector<uint8_t> Raw = MakeGame("RAW", 0x20000);
  Raw.resize(100000);   // not a multiple of a packet or a piece
  WriteBytes(Path("raw.bin"), Raw);
  ASSERT_EQ(Run(Cli({"--yes", "--page=2", "write-raw", Path("raw.bin"), "--verify"})).Status, 0);
  // The advanced write goes to bare addresses, the advanced read adds the page.
  ASSERT_EQ(Run(Cli({"read-raw", "128K", Path("back.bin")})).Status, 0);
  std::vector<uint8_t> Back = ReadBytes(Path("back.bin"));
  ASSERT_EQ(Back.size(), 0x20000u);
  EXPECT_TRUE(std::equal(Raw.begin(), Raw.end(), Back.begin()));
  ASSERT_EQ(Run(Cli({"read-raw", "100000", Path("exact.bin")})).Status, 0);
  EXPECT_EQ(ReadBytes(Path("exact.bin")), Raw);

  std::vector<uint8_t> Save(0x20000);
  for (size_t I = 0; I < Save.size(); ++I) Save[I] = static_cast<uint8_t>(I ^ (I >> 8));
  WriteBytes(Path("in.sav"), Save);
  ASSERT_EQ(Run(Cli({"--yes", "write-sram", Path("in.sav")})).Status, 0);
  ASSERT_EQ(Run(Cli({"read-sram", Path("out.sav")})).Status, 0);
  EXPECT_EQ(ReadBytes(Path("out.sav")), Save);

  // Too large for save RAM: refused, nothing sent.
  WriteBytes(Path("big.sav"), std::vector<uint8_t>(0x20001, 1));
  const TRun Big = Run(Cli({"--yes", "write-sram", Path("big.sav")}));
  EXPECT_EQ(Big.Status, 1);
  EXPECT_NE(Big.Err.find("Save file too large!"), std::string::npos) << Big.Err;
  size_t Errors = 0;
  for (const std::string& Line : Big.ErrLines()) Errors += Line.rfind("flashquill-cli: ", 0) == 0;
  EXPECT_EQ(Errors, 1u) << "the status text and the box say the same: one line\n" << Big.Err;
}

TEST_F(CliCommands, RawTitlesAreEscapedAndMadeIntoFileNames) {
  // Quote, backslash, slash, a control byte and a Latin-1 letter.
  const std::string Title = "A\"B\\C/D\x01\xE9";
  ASSERT_EQ(Run(Cli({"write", AddGame("odd.gb", Title, 0x8000)})).Status, 0);
  const TRun List = Run(Cli({"list", "--json"}));
  EXPECT_NE(List.Out.find("\"title\":\"A\\\"B\\\\C/D\\u0001\xC3\xA9\""), std::string::npos) << List.Out;
  const TRun Table = Run(Cli({"list"}));
  EXPECT_NE(Table.Out.find("A\"B\\C/D?\xC3\xA9"), std::string::npos) << Table.Out;

  const TRun Read = Run(Cli({"read", "1", "-o", Path(".")}));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  EXPECT_EQ(ReadBytes(Path("A_B_C_D_\xC3\xA9.gb")), ReadBytes(Path("odd.gb")));
  // A file that exists is replaced only after confirmation.
  const TRun Again = Run(Cli({"read", "1", "-o", Path("odd.gb")}));
  EXPECT_EQ(Again.Status, 1);
  EXPECT_NE(Again.Err.find("already exists"), std::string::npos) << Again.Err;
}

TEST_F(CliCommands, ACardWithoutTheKnownChipIsDisconnected) {
  const TRun Info = Run({"--usb=0001:0001", "info"});
  EXPECT_EQ(Info.Status, 1);
  EXPECT_EQ(Info.Out.rfind("Device Disconnected", 0), 0u) << Info.Out;
  const TRun List = Run({"--usb=0001:0001", "list"});
  EXPECT_EQ(List.Status, 1);
  EXPECT_NE(List.Err.find("Device Disconnected"), std::string::npos) << List.Err;
}

}  // namespace
