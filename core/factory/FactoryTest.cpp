// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/factory/FactoryTest.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/DataFolder.h"
#include "core/support/FileData.h"
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

std::string FactoryTestFileRefusal(const std::string& TestFile, TFactoryMode Mode) {
  namespace fs = std::filesystem;
  std::error_code Error;
  const fs::file_status Status = fs::status(fs::u8path(TestFile), Error);
  if (!fs::exists(Status)) return TestFile + ": no such test file";
  if (!fs::is_regular_file(Status)) return TestFile + ": not a regular file";
  const uintmax_t Size = fs::file_size(fs::u8path(TestFile), Error);
  if (Error) return TestFile + ": " + Error.message();
  if (Size < FactoryTestFileMinimum)
    return TestFile + ": a test file must hold at least " + std::to_string(FactoryTestFileMinimum) +
           " bytes, this one holds " + std::to_string(Size) + "; nothing would be tested";
  const uint64_t Limit = Mode == TFactoryMode::Sram ? SaveRamSize : FlashImageLimit;
  if (Size > Limit)
    return TestFile + ": " + (Mode == TFactoryMode::Sram ? WriteSaveTooLarge : WriteImageTooLarge) +
           " It holds " + std::to_string(Size) + " bytes, the " +
           (Mode == TFactoryMode::Sram ? "save RAM " : "card ") + std::to_string(Limit) + ".";
  return std::string();
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
  // A file too short to test anything would still wipe the page and end
  // "OK": refused before the card is touched.
  if (const std::string Refusal = FactoryTestFileRefusal(Run.TestFile, Run.Mode); !Refusal.empty()) {
    const bool Unreadable = Refusal.find("no such") != std::string::npos;
    Link.FrontEnd().SetStatusText(1, Unreadable ? WriteOpenSourceError : Refusal);
    return Verdict(TFactoryVerdict::Failed, Unreadable ? std::string(WriteOpenSourceError) + " " + Refusal : Refusal);
  }

  if (Run.BackupSave) {
    TSaveBackupRequest Request;
    Request.Before = Sram ? "test-sram" : "test-rom";
    Request.Titles = Run.Titles;
    TSaveBackupResult& Backup = Out.Backup;
    if (!BackupSaveRam(Link, Request, Backup)) {
      if (Backup.Read.End == TTransferEnd::Stopped || !Run.GoOnWithoutBackup || !Run.GoOnWithoutBackup(Backup))
        return Verdict(FactoryStepVerdict(Backup.Read.End), SaveBackupFailureText(Backup));
    }
    Out.BackupFile = Backup.File;
  }

  Stage(FactoryWritingText);
  // A named file: the queue takes no part in it.
  const TGameQueue NoQueue;
  TTransferOutcome Write;
  // The bytes that went out are what the read-back must hold: the test file
  // may be replaced while the test runs, and the card is not to blame then.
  std::vector<uint8_t> Sent;
  WriteImage(Run.TestFile, Sram ? cmdWriteSram : 0, NoQueue, Link, &Write, Run.WriteOnly ? nullptr : &Sent);
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
    const std::string Why = Read.End != TTransferEnd::FileFailed ? Read.Reason
                            : Read.Detail.empty()                 ? ReadBack + ": " + Read.Reason
                                                                  : Read.Reason + " " + Read.Detail;
    return Verdict(FactoryStepVerdict(Read.End), Why);
  }

  Stage(FactoryCheckingText);
  int64_t Count = -1;
  const auto Back = ReadFileData(ReadBack, Count);
  const bool Same = Count == static_cast<int64_t>(Sent.size()) && Back &&
                    std::equal(Sent.begin(), Sent.end(), Back.get());
  if (Same) return Verdict(TFactoryVerdict::Ok, "");
  return Verdict(TFactoryVerdict::Failed, "The card does not hold what was written: " + ReadBack +
                                              " differs from the test file.");
}
