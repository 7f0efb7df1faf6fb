// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <set>
#include <string>

#include "cli/CliOptions.h"
#include "cli/Completion.h"
#include "cli/SizeArgument.h"
#include "cli/Usage.h"

namespace {

TCompletionModel TableModel() {
  TCompletionModel Model;
  std::string Error;
  EXPECT_TRUE(MakeCompletionModel(CommandTable(), Model, Error)) << Error;
  return Model;
}

const TCompletedCommand* Find(const TCompletionModel& Model, const std::string& Name) {
  for (const TCompletedCommand& Command : Model.Commands)
    if (Command.Name == Name) return &Command;
  return nullptr;
}

}  // namespace

// Every command and every option of the table is completed: the model is the
// table's, not a copy that a new command could miss.
TEST(CompletionModel, HasEveryCommandAndOptionOfTheTable) {
  const TCompletionModel Model = TableModel();
  for (const TCommandInfo& Info : CommandTable()) {
    const TCompletedCommand* Command = Find(Model, Info.Name);
    ASSERT_NE(Command, nullptr) << Info.Name;
    std::set<std::string> Flags, Valued;
    for (const TCompletedOption& Option : Command->Options) (Option.TakesValue ? Valued : Flags).insert(Option.Name);
    EXPECT_EQ(Flags, Info.Flags) << Info.Name;
    EXPECT_EQ(Valued, Info.Valued) << Info.Name;
    if (Info.MaxPositionals != SIZE_MAX) {
      EXPECT_EQ(Command->Positionals.size(), Info.MaxPositionals) << Info.Name;
    }
  }
  const TCompletedCommand* Help = Find(Model, "help");
  ASSERT_NE(Help, nullptr);
  ASSERT_EQ(Help->Positionals.size(), 1u);
  EXPECT_EQ(Help->Positionals[0].Kind, TCompletionKind::Command);
}

// The options before the command are listed by hand: each must be one the
// program takes, and each the help text names must be listed.
TEST(CompletionModel, GlobalOptionsAreThoseOfTheProgram) {
  const TCompletionModel Model = TableModel();
  std::set<std::string> Listed;
  for (const TCompletedOption& Option : Model.Options) {
    Listed.insert(Option.Name);
    // A value each option takes; the test aids need the emulated cable.
    std::string Arg = Option.Name;
    if (Option.Name == "--page") Arg += "=2";
    else if (Option.Name == "--usb") Arg += "=b1d9:0c01";
    else if (Option.Name == "--trace") Arg += "=trace.txt";
    else if (Option.Name == "--emulate-unplug-after") Arg += "=5";
    else if (Option.Name == "--writes-in-flight") Arg += "=4";
    else if (Option.Name == "--emulate-weak-cell" || Option.Name == "--emulate-flip") Arg += "=16:1";
    else if (Option.Name == "--emulate") Arg += "=card";
    const bool NeedsEmulate = Option.Name.rfind("--emulate-", 0) == 0;
    std::vector<const char*> Argv = {"flashquill-cli", Arg.c_str()};
    if (NeedsEmulate) Argv.push_back("--emulate");
    Argv.push_back("info");
    TCliOptions Options;
    std::string Error;
    EXPECT_TRUE(ParseCliOptions(static_cast<int>(Argv.size()), Argv.data(), Options, Error)) << Arg << ": " << Error;
    if (Option.TakesValue && Option.Value.Kind == TCompletionKind::Words) {
      for (const std::string& Word : Option.Value.Words) {
        const std::string WithWord = Option.Name + "=" + Word;
        const char* WordArgv[] = {"flashquill-cli", WithWord.c_str(), "info"};
        EXPECT_TRUE(ParseCliOptions(3, WordArgv, Options, Error)) << WithWord << ": " << Error;
      }
    }
  }
  // "  --name", "  -x," or "  --name=VALUE" at the start of a help line.
  const std::string Usage = ProgramUsage("flashquill-cli");
  const std::regex Named(R"((?:^|\n) +(-[-a-z]+)(?:[=,\[ ]|$)(?: *(-[a-z]))?)");
  for (auto It = std::sregex_iterator(Usage.begin(), Usage.end(), Named); It != std::sregex_iterator(); ++It) {
    EXPECT_TRUE(Listed.count((*It)[1])) << (*It)[1] << " is in the help text but not completed";
    if ((*It)[2].matched) {
      EXPECT_TRUE(Listed.count((*It)[2])) << (*It)[2] << " is in the help text but not completed";
    }
  }
}

TEST(CompletionModel, EveryOfferedSizeIsTakenByReadRaw) {
  for (const std::string& Size : RawReadSizeWords()) {
    uint32_t Bytes = 0;
    EXPECT_TRUE(ParseSizeArgument(Size, Bytes)) << Size;
  }
  const TCompletionModel Model = TableModel();
  const TCompletedCommand* ReadRaw = Find(Model, "read-raw");
  ASSERT_NE(ReadRaw, nullptr);
  ASSERT_EQ(ReadRaw->Positionals.size(), 2u);
  EXPECT_EQ(ReadRaw->Positionals[0].Words, RawReadSizeWords());
  EXPECT_EQ(ReadRaw->Positionals[1].Kind, TCompletionKind::File);
}

// A command added to the table without a completion word, and the words a
// table may hold: which are taken, and which stop the build with the reason.
TEST(CompletionModel, TableWordsTakenOrRefused) {
  struct TCase {
    const char* Completion;
    bool Taken;
    TCompletionKind First;     // of the first place, when taken
    TCompletionKind OfValue;   // of -o's value, when taken
  };
  const TCase Cases[] = {
      {nullptr, true, TCompletionKind::File, TCompletionKind::File},
      {"", true, TCompletionKind::File, TCompletionKind::File},
      {"gb|gbc", true, TCompletionKind::Suffixes, TCompletionKind::File},
      {"index -o=dir", true, TCompletionKind::None, TCompletionKind::Dir},
      {"size -o=none", true, TCompletionKind::Words, TCompletionKind::None},
      {"gb.x", false, {}, {}},           // a suffix is letters and digits
      {"GB", false, {}, {}},             // suffixes are matched in any case, written in lower case
      {"-q=file", false, {}, {}},        // no such option
      {"--flag=file", false, {}, {}},    // an option without a value
      {"-o=bogus!", false, {}, {}},
  };
  for (const TCase& Case : Cases) {
    TCommandInfo Info{"new-command", "FILE... [-o OUT] [--flag]", "a new one", "  -o OUT  the output\n",
                      {"--flag"}, {"-o"}, 1, SIZE_MAX, true, Case.Completion};
    TCompletionModel Model;
    std::string Error;
    const bool Taken = MakeCompletionModel({Info}, Model, Error);
    const std::string Label = Case.Completion ? Case.Completion : "(none)";
    ASSERT_EQ(Taken, Case.Taken) << Label << ": " << Error;
    if (!Taken) {
      EXPECT_NE(Error.find("new-command"), std::string::npos) << Error;
      continue;
    }
    const TCompletedCommand* Command = Find(Model, "new-command");
    ASSERT_NE(Command, nullptr);
    ASSERT_FALSE(Command->Positionals.empty()) << Label;
    EXPECT_EQ(Command->Positionals[0].Kind, Case.First) << Label;
    EXPECT_EQ(Command->Rest.Kind, Command->Positionals.back().Kind) << Label;
    for (const TCompletedOption& Option : Command->Options)
      if (Option.Name == "-o") {
        EXPECT_EQ(Option.Value.Kind, Case.OfValue) << Label;
        EXPECT_EQ(Option.Help, "the output") << Label;
      }
  }
}
