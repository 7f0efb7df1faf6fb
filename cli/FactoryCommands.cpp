// SPDX-License-Identifier: GPL-3.0-or-later
// The factory tests from a shell: the verdict on standard output, the
// states on the way as lines on standard error.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Interrupt.h"
#include "cli/Session.h"
#include "core/factory/FactoryTest.h"

int RunFactoryTest(TCliSession& Session, const TCommandArgs& Args, bool Sram) {
  // The tester never applies a page choice: its runs cover the first page.
  if (Session.Options().PageGiven && Session.Options().Page != 1)
    return UsageError(Session, std::string(Sram ? "test-sram" : "test-rom") + ": the factory tests always use page 1");
  TFactoryRun Run;
  Run.Mode = Sram ? TFactoryMode::Sram : TFactoryMode::Rom;
  Run.WriteOnly = Args.Has("--write-only");
  Run.TestFile = Args.Positionals[0];
  // Refused before the question, with the card untouched.
  // A refused test file is a failed test: the verdict says so as well.
  if (const std::string Refusal = FactoryTestFileRefusal(Run.TestFile, Run.Mode); !Refusal.empty()) {
    Session.FrontEnd.Error(Refusal);
    Session.FrontEnd.Finish();
    Session.Json["verdict"] = FactoryVerdictText(TFactoryVerdict::Failed);
    Session.Json["reason"] = Refusal;
    std::printf("%s\n", FactoryVerdictText(TFactoryVerdict::Failed));
    std::fflush(stdout);
    return ExitFailed;
  }
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = 0;
  const std::string Question = Sram ? "The save RAM test overwrites the save RAM (a backup is made first). Go on?"
                                    : "The flash test wipes \"Page NO. 1 (32M)\" and writes the test file there. "
                                      "Go on?";
  if (Session.FrontEnd.ShowMessageBox(Question, "Test", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
    Session.FrontEnd.Note("Nothing was tested.");
    return Session.Outcome(false);
  }
  Run.ReadBackFile = FactoryReadBackFile(Run.Mode);
  Run.OnStage = [&Session, &Run](const char* Stage) {
    Session.FrontEnd.Note(Stage);
    if (std::string(Stage) == FactoryReadingText) {
      Session.FrontEnd.Note("Reading back into " + Run.ReadBackFile);
      Session.ArmReadFault();
    }
  };
  Run.IdentifyChip = [&Session] { Session.IdentifyChip(); };
  // The save RAM test overwrites the card's save, the flash test wipes the
  // games it belongs to: kept first either way.
  Run.BackupSave = !Args.Has("--no-backup");

  TFactoryResult Result;
  const TFactoryVerdict Verdict = RunFactoryTest(Run, Session.Link(), &Result);
  const std::string& Reason = Result.Reason;
  SayBackup(Session, Result.Backup);
  if (!Result.Backup.Made && !Result.Backup.Error.empty() && Result.Backup.Read.End != TTransferEnd::Stopped)
    Session.FrontEnd.Note("Give --no-backup to test without keeping the save RAM first.");
  Session.CloseOperation();
  // The reason of a FAILED or CANCLED verdict, said once even when the
  // status line said it already.
  const std::string Pending = Session.FrontEnd.TakePendingError();
  if (!Reason.empty() || !Pending.empty()) Session.FrontEnd.Error(Reason.empty() ? Pending : Reason);
  Session.FrontEnd.Finish();
  Session.Json["verdict"] = FactoryVerdictText(Verdict);
  Session.Json["reason"] = Reason.empty() ? TJson(nullptr) : TJson(Reason);
  Session.Json["read_back"] = JsonPath(Run.ReadBackFile);
  Session.Json["backup"] = Run.BackupSave ? BackupFacts(Result.Backup) : TJson(nullptr);
  std::printf("%s\n", FactoryVerdictText(Verdict));
  std::fflush(stdout);
  if (Interrupted()) return ExitInterrupted;
  return Verdict == TFactoryVerdict::Ok ? ExitOk : ExitFailed;
}
