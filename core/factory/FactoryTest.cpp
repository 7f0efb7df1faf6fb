#include "core/factory/FactoryTest.h"

#include <string>

#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/DataFolder.h"
#include "core/support/FileCompare.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/SaveBackup.h"
#include "core/transfer/WriteEngine.h"

namespace {

const char* ReadBackName(TFactoryMode Mode) { return Mode == TFactoryMode::Sram ? "GBTestSRAM.sav" : "GBTestROM.gb"; }

}  // namespace

const char* FactoryVerdictText(TFactoryVerdict Verdict) {
  switch (Verdict) {
    case TFactoryVerdict::Ok: return "OK";
    case TFactoryVerdict::Failed: return "FAILED";
    case TFactoryVerdict::Cancelled: return "CANCLED";
  }
  return "FAILED";
}

std::string FactoryReadBackFile(TFactoryMode Mode) { return ProgramDataFolder() + ReadBackName(Mode); }

TFactoryVerdict FactoryStepVerdict(TTransferEnd End) {
  switch (End) {
    case TTransferEnd::Done: return TFactoryVerdict::Ok;
    case TTransferEnd::Stopped:
    case TTransferEnd::LinkFailed: return TFactoryVerdict::Cancelled;
    case TTransferEnd::FileFailed: return TFactoryVerdict::Failed;
  }
  return TFactoryVerdict::Failed;
}

TFactoryVerdict RunFactoryTest(const TFactoryRun& Run, TLink& Link, TFactoryResult* Result) {
  TFactoryResult Own;
  TFactoryResult& Out = Result ? *Result : Own;
  Out = TFactoryResult{};
  const auto Stage = [&Run](const char* Text) {
    if (Run.OnStage) Run.OnStage(Text);
  };
  const auto Verdict = [&Out](TFactoryVerdict Given, const std::string& Why) {
    Out.Reason = Given == TFactoryVerdict::Ok ? std::string() : Why;
    return Given;
  };
  const bool Sram = Run.Mode == TFactoryMode::Sram;

  if (Sram && Run.BackupSave) {
    TTransferOutcome Backup;
    if (!BackupSaveRam(Link, Out.BackupFile, &Backup)) {
      Out.BackupFile.clear();
      return Verdict(FactoryStepVerdict(Backup.End), "Save backup failed (" + Backup.Reason + "): nothing was written.");
    }
  }

  Stage(FactoryWritingText);
  // A named file: the queue takes no part in it.
  const TGameQueue NoQueue;
  TTransferOutcome Write;
  WriteImage(Run.TestFile, Sram ? cmdWriteSram : 0, NoQueue, Link, &Write);
  if (Write.End != TTransferEnd::Done) return Verdict(FactoryStepVerdict(Write.End), Write.Reason);
  // A stop that came in the pump after the last packet still stops the test.
  if (!Link.State().Operating) return Verdict(TFactoryVerdict::Cancelled, "Stopped.");
  if (Run.WriteOnly) return Verdict(TFactoryVerdict::Ok, "");

  if (Run.IdentifyChip)
    Run.IdentifyChip();
  else
    Link.IdentifyChip();

  Stage(FactoryReadingText);
  const std::string ReadBack = Run.ReadBackFile.empty() ? FactoryReadBackFile(Run.Mode) : Run.ReadBackFile;
  // As many bytes as the write sent: the test file may have changed since.
  TTransferOutcome Read;
  ReadToFile(0, Write.Total, Sram ? cmdReadSram : cmdReadRom, ReadBack, Link, &Read);
  if (Read.End != TTransferEnd::Done) {
    const std::string Why = Read.End == TTransferEnd::FileFailed ? ReadBack + ": " + Read.Reason : Read.Reason;
    return Verdict(FactoryStepVerdict(Read.End), Why);
  }

  Stage(FactoryCheckingText);
  if (CompareFiles(Run.TestFile, ReadBack)) return Verdict(TFactoryVerdict::Ok, "");
  return Verdict(TFactoryVerdict::Failed, "The card does not hold what was written: " + ReadBack +
                                              " differs from the test file.");
}
