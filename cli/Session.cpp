// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Session.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/LinkPortFactory.h"
#include "core/link/PlatformErrors.h"
#include "core/link/TracePort.h"

TCliSession::TCliSession(const TCliOptions& Options, const std::string& Program)
    : FrontEnd(State, Program, Options.AssumeYes), FOptions(Options) {}

bool TCliSession::OpenPort() {
  std::string Error;
  FPort = MakeLinkPort(FOptions.Link, Error, &FNotice);
  if (!FPort) {
    FrontEnd.Error(Error);
    return false;
  }
  FLink = std::make_unique<TLink>(*FPort, State, FrontEnd);
  return true;
}

bool TCliSession::Connect(bool NeedChip) {
  // A card folder that did not hold a card: said once the command uses it,
  // so that a mistyped folder is not taken for a wiped card.
  if (!FNotice.empty()) FrontEnd.Note(FNotice);
  FNotice.clear();
  if (!FLink->Reconnect()) {
    if (FPort->LastError() == kErrInUse)
      FrontEnd.Error("Device Disconnected: the cable is in use by another program (" + FPort->Describe() + ")");
    else
      FrontEnd.Error("Device Disconnected: no cable found (" + FPort->Describe() + ")");
    return false;
  }
  FIdentity = FLink->IdentifyChip();
  if (!NeedChip || FIdentity.Chip) return true;
  const std::string Why = FrontEnd.TakePendingError();
  if (!Why.empty()) {
    FrontEnd.Error("Device Disconnected (" + Why + ")");
  } else {
    char Id[8];
    std::snprintf(Id, sizeof Id, "%04X", FIdentity.Id);
    FrontEnd.Error(std::string("Device Disconnected: the cable reports chip identifier ") + Id +
                   ", which is no flash chip this program knows");
  }
  return false;
}

void TCliSession::IdentifyChip() { FIdentity = FLink->IdentifyChip(); }

std::string TCliSession::PageName() const { return "Page NO. " + std::to_string(FOptions.Page) + " (32M)"; }

std::string TCliSession::ListPage(TCardRowVector& Rows, TScanTotals& Totals) {
  State.PageBase = static_cast<uint32_t>(FOptions.Page - 1) << 22;
  return ScanCardPage(*FLink, Rows, &Totals);
}

bool TCliSession::ListWholePage(TCardRowVector& Rows, const std::string& Consequence) {
  TScanTotals Totals;
  ListPage(Rows, Totals);
  if (Totals.Complete) return true;
  FrontEnd.Error("the listing of " + PageName() + " stopped at a failed exchange" + Consequence);
  return false;
}

void TCliSession::CloseOperation() {
  State.Operating = false;
  IdentifyChip();
}

void TCliSession::NoteUnread(const std::string& File, const TTransferOutcome& Read) {
  if (!Read.Detail.empty()) FrontEnd.Error(Read.Detail);
  std::error_code Error;
  const bool Kept = std::filesystem::exists(File, Error);
  std::string Line = "Note: ";
  if (Read.End != TTransferEnd::FileFailed)
    Line += "the read into " + File + " is incomplete (" + std::to_string(Read.Reached) + " of " +
            std::to_string(Read.Total) + " bytes), so it was not saved; ";
  else
    Line += "nothing was saved in " + File + "; ";
  Line += Kept ? "the file is as it was before." : "no file was made.";
  FrontEnd.Note(Line);
}

void TCliSession::ArmReadFault() {
  if (!FOptions.Fault) return;
  TLinkPort* Port = FPort.get();
  if (auto* Traced = dynamic_cast<TTracePort*>(Port)) Port = &Traced->Inner();
  if (auto* Emulated = dynamic_cast<TEmulatedLinkPort*>(Port))
    Emulated->Cable().FlipReadBitOnce(FOptions.Fault->Offset, FOptions.Fault->Mask);
}

int TCliSession::Outcome(bool Succeeded, bool Stoppable) {
  // Said once, however many times the command ends.
  if (auto* Traced = dynamic_cast<TTracePort*>(FPort.get());
      Traced && !Traced->WriteError().empty() && !FTraceErrorSaid) {
    FrontEnd.Error(Traced->WriteError());
    FTraceErrorSaid = true;
  }
  FrontEnd.Finish();
  if (Interrupted() && Stoppable) return ExitInterrupted;
  return Succeeded && !FrontEnd.Failed() ? ExitOk : ExitFailed;
}
