// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/CardWrite.h"

#include <cstdio>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/queue/PackImage.h"
#include "core/support/DeleteFile.h"
#include "core/support/SpaceTime.h"
#include "core/transfer/SaveBackup.h"
#include "core/transfer/SourceCheck.h"
#include "core/transfer/VerifyEngine.h"
#include "core/transfer/WriteEngine.h"

namespace {

std::string Hex6(int64_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%06llX", static_cast<unsigned long long>(Value));
  return Text;
}

// Sets panel 1 to the outcome and gives the result back.
TCardWriteResult& Finish(TCardWriteResult& Result, TLink& Link) {
  Link.State().Operating = false;
  Link.FrontEnd().SetStatusText(1, Result.Outcome);
  return Result;
}

}  // namespace

TCardWriteResult WriteToCard(const TCardWriteRequest& Request, TLink& Link) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TCardWriteResult Result;
  TSpaceTime Timer;
  Timer.Start();

  const bool Save = Request.Kind == TCardWriteKind::SaveRam;
  const TGameQueue NoQueue;
  const TGameQueue& Queue = Request.Queue ? *Request.Queue : NoQueue;
  const std::vector<TQueueRow> Rows = Queue.Rows();

  // A file that cannot be written is refused before the backup, so no
  // backup is taken for a write that never happens.
  if (Request.Kind == TCardWriteKind::RawImage || Save) {
    const TSourceRefusal Refusal = CheckNamedSource(Request.Kind, Request.FileName);
    if (Refusal.Refused()) {
      Result.End = TTransferEnd::FileFailed;
      Result.Outcome = Refusal.Text;
      FrontEnd.SetStatusText(1, Refusal.Text);
      FrontEnd.ShowMessageBox(Refusal.Text + "\r\n" + Refusal.Detail, "Error", MB_FLAGS_ERROR);
      return Finish(Result, Link);
    }
  }

  if (Request.Contact != TContactMode::Off) {
    Result.ContactChecked = true;
    Result.Contact = CheckContact(Link);
    if (!Result.Contact.Stable) {
      const bool Unstable = Result.Contact.End == TTransferEnd::Done;
      const bool GoOn =
          Unstable && Request.Contact == TContactMode::Ask &&
          FrontEnd.ShowMessageBox(Result.Contact.Text + "\r\nWrite anyway?", "Write", MB_FLAGS_QUESTION) == MB_RESULT_YES;
      if (!GoOn) {
        Result.End = Result.Contact.End;
        Result.Outcome = Result.Contact.Text;
        Result.Report.push_back("Nothing was written.");
        return Finish(Result, Link);
      }
    }
  }

  // The contact is known sound before the save is read into the vault: a
  // backup read over a poor contact would keep a wrong copy.
  if (Request.BackupSave) {
    TSaveBackupRequest Backup;
    Backup.Before = !Request.BackupBefore.empty() ? Request.BackupBefore
                    : Save                         ? "write-sram"
                    : Request.Kind == TCardWriteKind::RawImage ? "write-raw"
                                                               : "write";
    Backup.Titles = Request.Titles;
    // A backup being written back stays in the vault however full it is.
    if (Save) Backup.Keep = Request.FileName;
    if (BackupSaveRam(Link, Backup, Result.Backup)) {
      Result.BackupFile = Result.Backup.File;
    } else {
      // A stop during the backup is the user's stop: nothing is asked.
      const bool Stopped = Result.Backup.Read.End == TTransferEnd::Stopped;
      if (Stopped || !Request.GoOnWithoutBackup || !Request.GoOnWithoutBackup(Result.Backup)) {
        Result.End = Result.Backup.Read.End;
        Result.Outcome = SaveBackupFailureText(Result.Backup);
        return Finish(Result, Link);
      }
      Result.WroteWithoutBackup = true;
    }
  }

  TPartialWrite Partial;
  Partial.Kind = Request.Kind;
  Partial.PageBase = State.PageBase;
  Partial.FileName = Request.FileName;
  Partial.BackupFile = Result.BackupFile;
  if (Request.Kind == TCardWriteKind::Queue) {
    Partial.Games = PlacedGames(Rows);
    Partial.Pack = Rows.size() > 1;
  }

  const std::string Named = Request.Kind == TCardWriteKind::Queue ? std::string() : Request.FileName;
  TTransferOutcome Write;
  // What went out, for the verify: the file may be replaced meanwhile, and
  // the card is to be judged by the bytes it was sent.
  std::vector<uint8_t> Sent;
  const bool Written =
      WriteImage(Named, Save ? cmdWriteSram : 0, Queue, Link, &Write, Request.Verify ? &Sent : nullptr, Request.Repair);
  Result.Write = Write;
  if (!Written) {
    Result.End = Write.End;
    Result.Outcome = Write.Reason.empty() ? FrontEnd.StatusText(1) : Write.Reason;
    Partial.Total = Write.Total;
    Partial.Reached = Write.Reached;
    Partial.CardTouched = Write.CardTouched;
    Partial.FormatBlocks = Write.FormatBlocks;
    Partial.FormatCleared = Write.FormatCleared;
    Partial.Repair = Write.Repair;
    Partial.BlocksToRewrite = Write.BlocksToRewrite;
    Partial.BlocksRewritten = Write.BlocksRewritten;
    Result.Report = PartialWriteReport(Partial);
    if (Partial.CardTouched) Result.Partial = Partial;
    Result.Total = Write.Total;
    Result.Reached = Write.Reached;
    // The file and the system's reason, beside the program's own text.
    if (!Write.Detail.empty()) Result.Report.insert(Result.Report.begin(), Write.Detail);
    return Finish(Result, Link);
  }
  Result.Total = Write.Total;
  Result.Reached = Write.Reached;
  // A stop in the pump after the last packet: the write is whole, the
  // verify is skipped, and the outcome says so.
  if (Request.Verify && !State.Operating) {
    Result.End = TTransferEnd::Stopped;
    Result.Outcome = "Write complete, not verified: stopped.";
    return Finish(Result, Link);
  }

  if (Request.Verify && Write.Total > 0) {
    // Named files went to bare addresses, whatever the page.
    const uint32_t PageBase = State.PageBase;
    if (!Named.empty()) State.PageBase = 0;
    TVerifyOutcome Verify;
    if (Request.BeforeVerify) Request.BeforeVerify();
    VerifyAgainstBytes(Sent, 0, Write.Total, Save ? cmdReadSram : cmdReadRom, Link, &Verify);
    State.PageBase = PageBase;

    if (Verify.End != TTransferEnd::Done) {
      Result.End = Verify.End;
      Result.Outcome = "Write complete, but the verify did not finish (" + Verify.Reason +
                       "): the card was not checked.";
      return Finish(Result, Link);
    }
    if (Verify.FirstDifference >= 0) {
      const uint32_t Offset = static_cast<uint32_t>(Verify.FirstDifference);
      Result.Mismatch = (Named.empty() ? State.PageBase : 0) + Offset;
      Result.Outcome = "Verify failed: the card differs from what was written at card address " +
                       Hex6(Result.Mismatch);
      if (Save) Result.Outcome += " of the save RAM";
      if (Request.Kind == TCardWriteKind::Queue) {
        const TPlacedGame* Game = GameAt(Partial.Games, Offset);
        Result.MismatchGame = Game ? Game->Title : "";
        Result.Outcome += Game ? " (game \"" + Game->Title + "\")" : Rows.size() > 1 ? " (the boot menu)" : "";
      }
      Result.Outcome += ".";
      Result.Report.push_back("Write again; if the same address fails again, the card cannot hold that byte.");
      return Finish(Result, Link);
    }
    Result.Verified = true;
  }

  Timer.Stop();
  Result.Succeeded = true;
  Result.Outcome = "Write complete.  " + (Write.Repair ? RepairSummary(Write) + ".  " : std::string()) +
                   "Time used: " + Timer.ElapsedText();
  return Finish(Result, Link);
}

std::string CardWriteMessage(const TCardWriteResult& Result) {
  std::string Text = Result.Outcome;
  for (const std::string& Line : Result.Report) Text += "\r\n" + Line;
  // Where the old save is, once the card may no longer hold it.
  if (!Result.BackupFile.empty() && (Result.Succeeded || Result.Partial.CardTouched || Result.Mismatch >= 0))
    Text += "\r\nThe save RAM as it was is kept in " + Result.BackupFile + ".";
  if (Result.WroteWithoutBackup) Text += "\r\nNo backup of the save RAM was made.";
  return Text;
}
