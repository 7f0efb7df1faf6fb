// The commands that write files to the card, and the offline pack.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "cli/Verify.h"
#include "core/card/CardLayout.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/queue/PackImage.h"
#include "core/support/DeleteFile.h"
#include "core/transfer/WriteEngine.h"

namespace fs = std::filesystem;

namespace {

// Queues the files by the window's rules. Every file is tried, so that one
// run names every refusal; false when any was refused.
bool QueueFiles(TCliSession& Session, const std::vector<std::string>& Files, TGameQueue& Queue) {
  bool AllQueued = true;
  for (const std::string& File : Files) {
    Session.FrontEnd.SetContext(File);
    if (!Queue.AddGameFile(File, Session.FrontEnd)) AllQueued = false;
  }
  Session.FrontEnd.SetContext("");
  return AllQueued;
}

// The image the write sent, for the comparison after it: the single game's
// own file, or the pack built again (the write's own is gone by now; the
// same rows give the same image). Empty when it cannot be had.
std::string ExpectedImage(TCliSession& Session, const TGameQueue& Queue, std::string& Built) {
  if (Queue.Count() == 1) return Queue.Rows().front().FileName;
  std::FILE* Pack = nullptr;
  if (!BuildPackImage(Queue.Rows(), Session.FrontEnd, Built, Pack)) return {};
  if (Pack) std::fclose(Pack);
  return Built;
}

uint64_t SizeOfFile(const std::string& File) {
  std::error_code Error;
  const uintmax_t Size = fs::file_size(File, Error);
  return Error ? 0 : static_cast<uint64_t>(Size);
}

// A named file to bare addresses from 0, then the check; Code cmdWriteSram
// or 0 for the flash.
int WriteNamedFile(TCliSession& Session, const TCommandArgs& Args, uint8_t Code) {
  const std::string& File = Args.Positionals[0];
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  const TGameQueue NoQueue;
  bool Done = WriteImage(File, Code, NoQueue, Session.Link());
  if (Done && Args.Has("--verify")) {
    // Named files go to bare addresses, whatever the page: so does the check.
    const uint32_t PageBase = Session.State.PageBase;
    Session.State.PageBase = 0;
    Done = VerifyCard(Session, File, File, static_cast<uint32_t>(SizeOfFile(File)),
                      Code == cmdWriteSram ? cmdReadSram : cmdReadRom, 0);
    Session.State.PageBase = PageBase;
  }
  Session.CloseOperation();
  return Session.Outcome(Done);
}

}  // namespace

int RunWrite(TCliSession& Session, const TCommandArgs& Args) {
  TGameQueue Queue;
  if (!QueueFiles(Session, Args.Positionals, Queue)) {
    Session.FrontEnd.Error("Nothing was written: every game must fit the page.");
    return Session.Outcome(false);
  }
  if (!Session.Connect()) return Session.Outcome(false);
  TCardRowVector Rows;
  TScanTotals Totals;
  Session.ListPage(Rows, Totals);
  if (!Totals.Complete) {
    Session.FrontEnd.Error("the listing of " + Session.PageName() + " stopped at a failed exchange; nothing was written");
    return Session.Outcome(false);
  }
  if (!Rows.Rows.empty()) {
    const std::string Question = "Are you sure to overwrite old games in \"" + Session.PageName() + "\"?";
    if (Session.FrontEnd.ShowMessageBox(Question, "Write", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
      Session.FrontEnd.Note("Nothing was written.");
      return Session.Outcome(false);
    }
  }

  bool Done = WriteImage("", 0, Queue, Session.Link());
  if (!Done && Session.State.Operating == false && Session.FrontEnd.StopRequested())
    Session.FrontEnd.Note("Note: " + Session.PageName() + " holds only part of the image; write the games again.");
  if (Done && Args.Has("--verify")) {
    std::string Built;
    const std::string Expected = ExpectedImage(Session, Queue, Built);
    if (Expected.empty()) {
      Session.FrontEnd.Error("Verify: the pack image could not be built again for the comparison");
      Done = false;
    } else {
      Done = VerifyCard(Session, Expected, Queue.Count() == 1 ? Expected : "the pack image",
                        static_cast<uint32_t>(SizeOfFile(Expected)), cmdReadRom, Session.State.PageBase);
    }
    if (!Built.empty()) DeleteFileWait(Built, 1000);
  }

  // The window's closing steps: list the page again, identify the chip,
  // select the page for the console.
  Session.State.Operating = false;
  Session.ListPage(Rows, Totals);
  if (Totals.Complete) Session.FrontEnd.Note(Session.PageName() + " " + ScanSummary(Totals.Games, Totals.Used,
                                                                                      Session.State.CardCapacity));
  Session.IdentifyChip();
  Session.Link().SelectPage(Session.State.PageBase);
  return Session.Outcome(Done);
}

int RunWriteSram(TCliSession& Session, const TCommandArgs& Args) { return WriteNamedFile(Session, Args, cmdWriteSram); }

int RunWriteRaw(TCliSession& Session, const TCommandArgs& Args) { return WriteNamedFile(Session, Args, 0); }

int RunPack(TCliSession& Session, const TCommandArgs& Args) {
  const std::optional<std::string> Image = Args.Value("-o");
  if (!Image) return UsageError(Session, "pack: the image file is missing (pack FILE... -o IMAGE)");
  TGameQueue Queue;
  if (!QueueFiles(Session, Args.Positionals, Queue)) {
    Session.FrontEnd.Error("No image was built: every game must fit the page.");
    return Session.Outcome(false);
  }

  // Built beside its final name and renamed at the end, so IMAGE is never
  // left half written.
  const std::string Partial = *Image + ".part";
  std::vector<uint32_t> Offsets;
  std::error_code Error;
  if (Queue.Count() == 1) {
    // One game is written from its own file, without the menu.
    fs::copy_file(Queue.Rows().front().FileName, Partial, fs::copy_options::overwrite_existing, Error);
    Offsets.push_back(0);
  } else {
    std::string Built;
    std::FILE* Pack = nullptr;
    if (!BuildPackImage(Queue.Rows(), Session.FrontEnd, Built, Pack, &Offsets)) {
      Session.FrontEnd.Error(WriteCreatePackError);
      return Session.Outcome(false);
    }
    if (Pack) std::fclose(Pack);
    fs::copy_file(Built, Partial, fs::copy_options::overwrite_existing, Error);
    DeleteFileWait(Built, 1000);
  }
  if (!Error) fs::rename(Partial, *Image, Error);
  if (Error) {
    fs::remove(Partial, Error);
    Session.FrontEnd.Error(*Image + ": the image cannot be written there");
    return Session.Outcome(false);
  }

  if (Queue.Count() > 1) std::printf("%8u  %8u  %s\n", 0u, static_cast<unsigned>(MenuImageSize), "(boot menu)");
  for (size_t I = 0; I < Queue.Count(); ++I) {
    const TQueueRow& Row = Queue.Rows()[I];
    std::printf("%8u  %8u  %s  %s\n", static_cast<unsigned>(Offsets[I]), static_cast<unsigned>(Row.Size),
                DisplayTitle(Row.Title).c_str(), Row.FileName.c_str());
  }
  std::printf("%s: %llu bytes\n", Image->c_str(), static_cast<unsigned long long>(SizeOfFile(*Image)));
  std::fflush(stdout);
  return Session.Outcome(true);
}
