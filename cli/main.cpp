// SPDX-License-Identifier: GPL-3.0-or-later
// flashquill-cli: the card operations of the window from a shell, on the
// same core: options, the command, its exit status.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/BackupsCommand.h"
#include "cli/CheckCommand.h"
#include "cli/CheckLinkCommand.h"
#include "cli/CliOptions.h"
#include "cli/HeaderCommand.h"
#include "cli/JsonOutcome.h"
#include "cli/Commands.h"
#include "cli/RestoreCommand.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Session.h"
#include "cli/Usage.h"
#include "core/link/LinkOptions.h"
#include "core/support/Version.h"
#ifdef FQ_HAVE_RESOURCES
#include "ProgramResources.h"
#include "core/support/Resources.h"
#endif

namespace {

constexpr const char* ProgramName = "flashquill-cli";

int Dispatch(const std::string& Command, TCliSession& Session, const TCommandArgs& Args) {
  if (Command == "info") return RunInfo(Session, Args);
  if (Command == "list") return RunList(Session, Args);
  if (Command == "read") return RunRead(Session, Args);
  if (Command == "write") return RunWrite(Session, Args);
  if (Command == "read-sram") return RunReadSram(Session, Args);
  if (Command == "write-sram") return RunWriteSram(Session, Args);
  if (Command == "format") return RunFormat(Session, Args);
  if (Command == "read-raw") return RunReadRaw(Session, Args);
  if (Command == "write-raw") return RunWriteRaw(Session, Args);
  if (Command == "pack") return RunPack(Session, Args);
  if (Command == "test-rom") return RunFactoryTest(Session, Args, false);
  if (Command == "test-sram") return RunFactoryTest(Session, Args, true);
  if (Command == "ports") return RunPorts(Session, Args);
  if (Command == THeaderCommand::Info().Name) return THeaderCommand::Run(Session, Args);
  if (Command == TCheckCommand::Info().Name) return TCheckCommand::Run(Session, Args);
  if (Command == TBackupsCommand::Info().Name) return TBackupsCommand::Run(Session, Args);
  if (Command == TRestoreCommand::Info().Name) return TRestoreCommand::Run(Session, Args);
  if (Command == TCheckLinkCommand::Info().Name) return TCheckLinkCommand::Run(Session, Args);
  return UsageError(Session, "unknown command '" + Command + "'");
}

int Usage(const std::string& Text) {
  std::fprintf(stderr, "%s: %s (see %s --help)\n", ProgramName, Text.c_str(), ProgramName);
  return ExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  TCliOptions Options;
  std::string Error;
  if (!ParseCliOptions(argc, argv, Options, Error)) return Usage(Error);
  if (Options.Version) {
    std::fputs(VersionText(ProgramName).c_str(), stdout);
    return ExitOk;
  }
  // "help" and "help COMMAND" read as --help.
  if (Options.Command == "help") {
    Options.Help = true;
    Options.Command = Options.Arguments.empty() ? "" : Options.Arguments.front();
    Options.Arguments.clear();
  }
  const TCommandInfo* Command = Options.Command.empty() ? nullptr : FindCommand(Options.Command);
  if (!Options.Command.empty() && !Command) return Usage("unknown command '" + Options.Command + "'");
  if (Options.Help && !Command) {
    std::fputs(ProgramUsage(ProgramName).c_str(), stdout);
    return ExitOk;
  }
  if (!Command) return Usage("no command given");

  // "help COMMAND" needs none of the command's arguments.
  if (Options.Help) {
    std::fputs(CommandUsage(ProgramName, *Command).c_str(), stdout);
    return ExitOk;
  }
  TCommandArgs Args;
  if (!ParseCommandArgs(*Command, Options.Arguments, Args, Error)) {
    if (std::find(Options.Arguments.begin(), Options.Arguments.end(), "--json") != Options.Arguments.end())
      PrintUsageJson(Command->Name, Error, ExitUsage);
    return Usage(Error);
  }
  if (Args.Help) {
    std::fputs(CommandUsage(ProgramName, *Command).c_str(), stdout);
    return ExitOk;
  }

#ifdef FQ_HAVE_RESOURCES
  RegisterResources(ProgramResources());
#endif
  InstallInterruptHandler();
  TCliSession Session(Options, ProgramName);
  if (Args.Has("--json")) Session.Json.Start(Command->Name);
  if (Command->NeedsCable && !Session.OpenPort()) {
    const int Exit = Session.Outcome(false);
    Session.Json.Finish(Exit, Session.FrontEnd);
    return Exit;
  }
  const int64_t Before = Command->NeedsCable ? Session.Port().SimulatedNanoseconds() : -1;
  const int Exit = Dispatch(Options.Command, Session, Args);
  // On a timed emulated cable: how long the real cable would have taken.
  if (Command->NeedsCable) {
    const int64_t After = Session.Port().SimulatedNanoseconds();
    const std::string Time = SimulatedTimeText(Before, After);
    if (!Time.empty()) {
      Session.FrontEnd.Note(Time);
      Session.Json["simulated_seconds"] = static_cast<double>(After - Before) / 1e9;
    }
  }
  Session.Json.Finish(Exit, Session.FrontEnd);
  return Exit;
}
