// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that write files to the card, and the offline pack.
#include <cerrno>
#include <cstdio>
#include <vector>
#include <filesystem>
#include <system_error>

#include "cli/Commands.h"
#include "cli/JsonOutcome.h"
#include "cli/ExitCodes.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/card/CardLayout.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameFileInfo.h"
#include "core/queue/GameQueue.h"
#include "core/queue/HeaderCheck.h"
#include "core/queue/HeaderMend.h"
#include "core/queue/HeaderView.h"
#include "core/support/FileData.h"
#include "core/queue/PackImage.h"
#include "core/support/FileData.h"
#include "core/support/ReplaceFile.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/SourceCheck.h"
#include "core/transfer/WriteEngine.h"

namespace fs = std::filesystem;

namespace {

// The header problems of a file once its checksums are mended; a wrong logo
// stays a problem, and is said as such.
std::vector<std::string> ProblemsAfterMending(TCliSession& Session, const std::string& File) {
  int64_t Count = -1;
  const auto Data = ReadFileData(File, Count);
  if (!Data || Count < 0) return CheckGameHeader(File);
  MendHeaderBytes(Data.get(), Count);
  TGameHeader Header;
  if (DecodeGameHeader(Data.get(), Count, Count, Header) && !Header.LogoValid)
    Session.FrontEnd.Note("Note: " + LogoNotMendedText(File));
  return CheckHeaderBytes(Data.get(), Count, Count);
}

// Every queued game whose checksums are wrong goes out from a mended copy.
bool MendQueue(TCliSession& Session, TGameQueue& Queue, TMendedCopies& Copies) {
  for (size_t I = 0; I < Queue.Count(); ++I) {
    const std::string Original = Queue.Rows()[I].FileName;
    bool Mended = false;
    std::string Error;
    if (!Copies.Mend(Queue, I, Mended, Error)) {
      Session.FrontEnd.Error(Error);
      return false;
    }
    if (Mended)
      Session.FrontEnd.Note("Note: " + Original + ": the header checksums are mended in what is written; the file "
                            "stays as it is.");
  }
  return true;
}

// Queues the files by the window's rules. Every file is tried, so that one
// run names every refusal; false when any was refused. A file the queue
// would take but whose header fails the checks is refused with the reasons
// unless Force is given (then it is queued, with a note).
bool QueueFiles(TCliSession& Session, const std::vector<std::string>& Files, TGameQueue& Queue, bool Force,
                TMendedCopies* Mend = nullptr) {
  bool AllQueued = true;
  Queue.AllowPastMenuLimit = Force;
  for (const std::string& File : Files) {
    Session.FrontEnd.SetContext(File);
    // The queue's own refusals (no file, no game, no space) come first.
    if (ReadGameHeader(File).Usable()) {
      // With --fix-header, what mending leaves is what counts.
      if (const std::vector<std::string> Problems = Mend ? ProblemsAfterMending(Session, File) : CheckGameHeader(File);
          !Problems.empty()) {
        if (!Force) {
          Session.FrontEnd.Error(HeaderProblemsLine(File, Problems) + " Give --force to queue it anyway.");
          AllQueued = false;
          continue;
        }
        Session.FrontEnd.Note("Note: " + HeaderProblemsLine(File, Problems) + " Queued anyway (--force).");
      }
    }
    if (!Queue.AddGameFile(File, Session.FrontEnd)) AllQueued = false;
  }
  Session.FrontEnd.SetContext("");
  if (Queue.PastMenuLimit())
    Session.FrontEnd.Note("Warning: " + std::to_string(Queue.Count()) + " games are queued, but the boot menu lists at most " +
                          std::to_string(TGameQueue::MenuGameLimit) + "; games " +
                          std::to_string(TGameQueue::MenuGameLimit + 1) + " to " + std::to_string(Queue.Count()) +
                          " can never be started (--force).");
  if (AllQueued && Mend && !MendQueue(Session, Queue, *Mend)) return false;
  return AllQueued;
}

uint64_t SizeOfFile(const std::string& File) {
  std::error_code Error;
  const uintmax_t Size = fs::file_size(File, Error);
  return Error ? 0 : static_cast<uint64_t>(Size);
}

// A named file to bare addresses from 0 (raw image) or into save RAM, after
// the question, then the check unless --no-verify.
int WriteNamedFile(TCliSession& Session, const TCommandArgs& Args, TCardWriteKind Kind) {
  const std::string& File = Args.Positionals[0];
  // Refused before the question and before the cable is used.
  if (const TSourceRefusal Refusal = CheckNamedSource(Kind, File); Refusal.Refused()) {
    Session.FrontEnd.Error(Refusal.Text + " " + Refusal.Detail);
    return Session.Outcome(false);
  }
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  const bool Save = Kind == TCardWriteKind::SaveRam;
  const std::string Question =
      Save ? "Are you sure to overwrite the save RAM with \"" + File + "\"? (a backup is made first)"
           : "Are you sure to overwrite the flash from card address 0 with \"" + File + "\"? Every game on the " +
                 (SizeOfFile(File) > PageSize ? "two pages" : "first page") + " it covers is lost.";
  if (Session.FrontEnd.ShowMessageBox(Question, Save ? "Write SRAM" : "Write", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
    Session.FrontEnd.Note("Nothing was written.");
    return Session.Outcome(false);
  }
  TCardWriteRequest Request;
  Request.Kind = Kind;
  Request.FileName = File;
  Request.Verify = !Args.Has("--no-verify");
  Request.BackupSave = !Args.Has("--no-backup");
  Request.Contact = Args.Has("--no-check") ? TContactMode::Off : TContactMode::Refuse;
  if (!Save && Args.Has("--resume")) Request.Repair = TRepairMode::On;
  Request.BeforeVerify = [&Session] { Session.ArmReadFault(); };
  const TCardWriteResult Result = WriteToCard(Request, Session.Link());
  SayWriteResult(Session, Result, !Save);
  Session.Json["file"] = JsonPath(File);
  AddWriteFacts(Session.Json.Facts(), Result);
  Session.CloseOperation();
  return Session.Outcome(Result.Succeeded);
}

}  // namespace

// Says what a write left: the outcome (already shown as the status text
// when it is an error), the report of what the card holds now, the backup.
void SayWriteResult(TCliSession& Session, const TCardWriteResult& Result, bool Flash) {
  TCliFrontEnd& FrontEnd = Session.FrontEnd;
  const std::string Pending = FrontEnd.TakePendingError();
  const std::string Outcome = Result.Outcome.empty() ? Pending : Result.Outcome;
  // A Ctrl-C said so already; an error box may have said the same text.
  if (!Result.Succeeded && !(Result.End == TTransferEnd::Stopped && FrontEnd.StopRequested()) &&
      !FrontEnd.ErrorSaid(Outcome))
    FrontEnd.Error(Outcome);
  if (!Result.Backup.Made && !Result.Backup.Error.empty() && !Result.WroteWithoutBackup &&
      Result.Backup.Read.End != TTransferEnd::Stopped)
    FrontEnd.Note("Give --no-backup to write without keeping the save RAM first.");
  if (Result.Verified)
    FrontEnd.Note("Verify complete: the card holds the bytes written.");
  for (const std::string& Line : Result.Report) FrontEnd.Note(Line);
  // A flash write that reached the card and did not end well is finished
  // fastest by writing only what still differs.
  if (!Result.Succeeded && Flash && Result.Write.CardTouched)
    FrontEnd.Note("Give --resume to write only the blocks that still differ.");
  if (Result.ContactChecked && Result.Contact.End == TTransferEnd::Done && !Result.Contact.Stable)
    FrontEnd.Note("Give --no-check to write anyway.");
  SayBackup(Session, Result.Backup);
}

void SayBackup(TCliSession& Session, const TSaveBackupResult& Backup) {
  if (!Backup.Made) return;
  if (Backup.Added)
    Session.FrontEnd.Note("The save RAM as it was is kept in " + Backup.File + ".");
  else
    Session.FrontEnd.Note("The save RAM as it was is kept in " + Backup.File +
                          " (unchanged since that backup, so no new one was made).");
  for (const std::string& Old : Backup.Dropped)
    Session.FrontEnd.Note("The oldest backup " + Old + " was dropped (the vault keeps " +
                          std::to_string(SaveVaultLimit) + ").");
}

int RunWrite(TCliSession& Session, const TCommandArgs& Args) {
  TGameQueue Queue;
  TMendedCopies Mended;
  if (!QueueFiles(Session, Args.Positionals, Queue, Args.Has("--force"), Args.Has("--fix-header") ? &Mended : nullptr)) {
    Session.FrontEnd.Error("Nothing was written: every game must fit the page and pass the header checks.");
    return Session.Outcome(false);
  }
  if (!Session.Connect()) return Session.Outcome(false);
  TCardRowVector Rows;
  if (!Session.ListWholePage(Rows, "; nothing was written")) return Session.Outcome(false);
  if (!Rows.Rows.empty()) {
    const std::string Question = "Are you sure to overwrite old games in \"" + Session.PageName() + "\"?";
    if (Session.FrontEnd.ShowMessageBox(Question, "Write", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
      Session.FrontEnd.Note("Nothing was written.");
      return Session.Outcome(false);
    }
  }

  TCardWriteRequest Request;
  Request.Kind = TCardWriteKind::Queue;
  Request.Queue = &Queue;
  Request.Verify = !Args.Has("--no-verify");
  Request.BackupSave = !Args.Has("--no-backup");
  Request.Contact = Args.Has("--no-check") ? TContactMode::Off : TContactMode::Refuse;
  if (Args.Has("--resume")) Request.Repair = TRepairMode::On;
  // The backup is named after the games the page holds now.
  Request.Titles.emplace();
  for (const TCardRow& Row : Rows.Rows) Request.Titles->push_back(Row.Title);
  Request.BeforeVerify = [&Session] { Session.ArmReadFault(); };
  const TCardWriteResult Result = WriteToCard(Request, Session.Link());
  SayWriteResult(Session, Result, true);
  Session.Json["page"] = Session.Options().Page;
  TJson Games = TJson::array();
  for (const TQueueRow& Row : Queue.Rows())
    Games.push_back({{"title", JsonTitle(Row.Title)}, {"file", JsonPath(Mended.OriginalOf(Row.FileName))}, {"size", Row.Size}});
  Session.Json["games"] = Games;
  Session.Json["pack"] = Queue.Count() > 1;
  AddWriteFacts(Session.Json.Facts(), Result);

  // The window's closing steps: list the page again, identify the chip,
  // select the page for the console. A broken cable lists nothing.
  Session.State.Operating = false;
  if (Result.End != TTransferEnd::LinkFailed) {
    TScanTotals Totals;
    Session.ListPage(Rows, Totals);
    if (Totals.Complete) {
      Session.FrontEnd.Note(Session.PageName() + " " + ScanSummary(Totals.Games, Totals.Used, Session.State.CardCapacity));
      TJson Listed = TJson::array();
      for (const TCardRow& Row : Rows.Rows) Listed.push_back(JsonTitle(Row.Title));
      Session.Json["listed"] = Listed;
    }
  }
  Session.IdentifyChip();
  Session.Link().SelectPage(Session.State.PageBase);
  return Session.Outcome(Result.Succeeded);
}

int RunWriteSram(TCliSession& Session, const TCommandArgs& Args) {
  return WriteNamedFile(Session, Args, TCardWriteKind::SaveRam);
}

int RunWriteRaw(TCliSession& Session, const TCommandArgs& Args) {
  return WriteNamedFile(Session, Args, TCardWriteKind::RawImage);
}

int RunPack(TCliSession& Session, const TCommandArgs& Args) {
  const std::optional<std::string> Image = Args.Value("-o");
  if (!Image) return UsageError(Session, "pack: the image file is missing (pack FILE... -o IMAGE)");
  TGameQueue Queue;
  TMendedCopies Mended;
  if (!QueueFiles(Session, Args.Positionals, Queue, Args.Has("--force"), Args.Has("--fix-header") ? &Mended : nullptr)) {
    Session.FrontEnd.Error("No image was built: every game must fit the page and pass the header checks.");
    return Session.Outcome(false);
  }

  // Built beside its final name and renamed over it at the end, so IMAGE
  // is never left half written.
  std::vector<uint32_t> Offsets;
  std::FILE* Source = nullptr;
  if (Queue.Count() == 1) {
    // One game is written from its own file, without the menu.
    Source = OpenFileShared(Queue.Rows().front().FileName);
    Offsets.push_back(0);
    if (!Source) {
      Session.FrontEnd.Error(std::string(WriteOpenGameError) + " " + Queue.Rows().front().FileName + ": " +
                             SystemErrorText(errno));
      return Session.Outcome(false);
    }
  } else {
    std::string Built;
    if (!BuildPackImage(Queue.Rows(), Session.FrontEnd, Built, Source, &Offsets) || !Source) {
      Session.FrontEnd.Error(WriteCreatePackError);
      return Session.Outcome(false);
    }
    std::rewind(Source);
  }
  TReplaceFile Out(*Image);
  bool Copied = Out.Ok();
  std::vector<uint8_t> Buffer(65536);
  for (size_t Got; Copied && (Got = std::fread(Buffer.data(), 1, Buffer.size(), Source)) > 0;)
    Copied = Out.Write(Buffer.data(), Got);
  if (Copied && std::ferror(Source)) Copied = false;
  std::fclose(Source);
  if (!Copied || !Out.Commit()) {
    Session.FrontEnd.Error(*Image + ": the image cannot be written there (" +
                           (Out.Error().empty() ? std::string("read error") : Out.Error()) + ")");
    return Session.Outcome(false);
  }

  TJson Placed = TJson::array();
  for (size_t I = 0; I < Queue.Count(); ++I)
    Placed.push_back({{"offset", Offsets[I]},
                      {"size", Queue.Rows()[I].Size},
                      {"title", JsonTitle(Queue.Rows()[I].Title)},
                      {"file", JsonPath(Mended.OriginalOf(Queue.Rows()[I].FileName))}});
  Session.Json["image"] = JsonPath(*Image);
  Session.Json["bytes"] = SizeOfFile(*Image);
  Session.Json["menu"] = Queue.Count() > 1;
  Session.Json["games"] = Placed;
  if (Queue.Count() > 1) std::printf("%8u  %8u  %s\n", 0u, static_cast<unsigned>(MenuImageSize), "(boot menu)");
  for (size_t I = 0; I < Queue.Count(); ++I) {
    const TQueueRow& Row = Queue.Rows()[I];
    std::printf("%8u  %8u  %s  %s\n", static_cast<unsigned>(Offsets[I]), static_cast<unsigned>(Row.Size),
                DisplayTitle(Row.Title).c_str(), Mended.OriginalOf(Row.FileName).c_str());
  }
  std::printf("%s: %llu bytes\n", Image->c_str(), static_cast<unsigned long long>(SizeOfFile(*Image)));
  std::fflush(stdout);
  return Session.Outcome(true);
}
