// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's start-up arguments: an unknown argument with a dash
// is said and ignored, the program runs; a mistyped option of its own stops it.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

struct TArgsCase {
  std::vector<const char*> Args;
  bool Error;
  std::vector<std::string> Arguments, Ignored;
};

const TArgsCase ArgsCases[] = {
    {{"-rom"}, false, {"-rom"}, {"-rom"}},                    // not "/rom": both test modes stay off
    {{"-x", "/rom"}, false, {"-x", "/rom"}, {"-x"}},          // the first argument still decides
    {{"/rom", "-v"}, false, {"/rom", "-v"}, {"-v"}},
    {{"/sram"}, false, {"/sram"}, {}},
    {{"-platform", "offscreen", "/rom"}, false, {"/rom"}, {}},   // the toolkit's own
    {{"--emulte"}, true, {}, {}},                             // a mistyped option of the program
    {{"-"}, false, {"-"}, {}},
};

TEST(CommandLine, UnknownDashArgumentsAreIgnoredAndSaid) {
  for (const TArgsCase& Case : ArgsCases) {
    SCOPED_TRACE(Case.Args.front());
    std::vector<const char*> Argv = {"flashquill"};
    Argv.insert(Argv.end(), Case.Args.begin(), Case.Args.end());
    const TCommandLine Line = ParseCommandLine(static_cast<int>(Argv.size()), Argv.data());
    EXPECT_EQ(!Line.Error.empty(), Case.Error) << Line.Error;
    if (Case.Error) continue;
    EXPECT_EQ(Line.Arguments, Case.Arguments);
    EXPECT_EQ(Line.Ignored, Case.Ignored);
  }
}

// Every option the usage text names is one the program takes: the help must
// not offer what the start-up then refuses.
TEST(CommandLine, EveryOptionTheUsageNamesIsTaken) {
  const std::map<std::string, std::string> WithValue = {
      {"--emulate-timing", "--emulate-timing=125"},      {"--writes-in-flight", "--writes-in-flight=4"},
      {"--usb", "--usb=b1d9:0c01"},                      {"--trace", "--trace=transfers.txt"},
      {"--emulate-unplug-after", "--emulate-unplug-after=10"}, {"--emulate-weak-cell", "--emulate-weak-cell=0x100:1"}};
  const std::string Usage = CommandLineUsage("flashquill");
  std::set<std::string> Names;
  const std::regex Option("--[a-z][a-z-]*");
  for (auto It = std::sregex_iterator(Usage.begin(), Usage.end(), Option); It != std::sregex_iterator(); ++It)
    Names.insert(It->str());
  ASSERT_GT(Names.size(), 8u);
  for (const std::string& Name : Names) {
    const auto Sample = WithValue.find(Name);
    const std::string Arg = Sample != WithValue.end() ? Sample->second : Name;
    // The real cable's numbers go without the emulated one; everything else with it.
    std::vector<const char*> Argv = {"flashquill", Arg.c_str()};
    if (Name != "--usb") Argv.insert(Argv.begin() + 1, "--emulate");
    const TCommandLine Line = ParseCommandLine(static_cast<int>(Argv.size()), Argv.data());
    EXPECT_TRUE(Line.Error.empty()) << Arg << ": " << Line.Error;
  }
}

// Both window programs start through AnswerCommandLine: what it says and
// whether the program goes on.
TEST(CommandLine, AnswerSaysIgnoredArgumentsAndEndsOnlyForHelpOrAMistake) {
  struct TAnswerCase {
    std::vector<const char*> Args;
    int Exit;
    const char* Err;   // a text standard error must hold, or ""
  };
  const TAnswerCase Cases[] = {
      {{"-rom"}, -1, "flashquill: ignoring the unknown argument '-rom'"},
      {{"/sram"}, -1, ""},
      {{"--help"}, 0, ""},
      {{"--emulte"}, 2, "flashquill: "},
  };
  for (const TAnswerCase& Case : Cases) {
    SCOPED_TRACE(Case.Args.front());
    std::vector<const char*> Argv = {"flashquill"};
    Argv.insert(Argv.end(), Case.Args.begin(), Case.Args.end());
    const TCommandLine Line = ParseCommandLine(static_cast<int>(Argv.size()), Argv.data());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int Exit = AnswerCommandLine(Line, "flashquill");
    const std::string Out = testing::internal::GetCapturedStdout();
    const std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Exit, Case.Exit);
    EXPECT_NE(Err.find(Case.Err), std::string::npos) << Err;
    if (Case.Exit == -1 && *Case.Err == 0) {
      EXPECT_TRUE(Err.empty()) << Err;
    }
    if (Case.Exit == 0) {
      EXPECT_FALSE(Out.empty());
    }
  }
}

}  // namespace
