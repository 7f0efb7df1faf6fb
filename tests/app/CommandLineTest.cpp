// The window program's start-up arguments: an unknown argument with a dash
// is said and ignored, the program runs; a mistyped option of its own stops it.
#include <gtest/gtest.h>

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

}  // namespace
