// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/WriteEngine.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <memory>
#include <vector>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/link/Link.h"
#include "core/queue/GameQueue.h"
#include "core/queue/PackImage.h"
#include "core/support/Bytes.h"
#include "core/support/DeleteFile.h"
#include "core/support/FileData.h"
#include "core/support/FileSize.h"
#include "core/support/SpaceTime.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/WriteRepair.h"

namespace {

// The source of one write and what it leaves to clean up.
struct TWriteSource {
  std::FILE* File = nullptr;
  std::string PackFileName;   // set only when this write built a pack image
  ~TWriteSource() {
    if (File) std::fclose(File);
    // Only the image made for this write goes; a single game is written from
    // the user's own file, which stays.
    if (!PackFileName.empty()) DeleteFileWait(PackFileName, 1000);
  }
};

// The bar goes back to 0 after the write, whatever its outcome.
struct TProgressReset {
  TFrontEnd& FrontEnd;
  ~TProgressReset() { FrontEnd.SetProgress(0); }
};

// Refuses a source too large for where it goes before anything is sent: it
// would wrap around and overwrite its own start or another page.
bool Refuse(TFrontEnd& FrontEnd, TSharedState& State, const char* Text, const std::string& Detail) {
  FrontEnd.SetStatusText(1, Text);
  FrontEnd.ShowMessageBox(std::string(Text) + "\r\n" + Detail, "Error", MB_FLAGS_ERROR);
  State.Operating = false;
  return false;
}

// Why a queued game's file cannot be written as queued; empty when it can.
std::string QueuedFileProblem(const TQueueRow& Row) {
  std::error_code Error;
  const std::filesystem::file_status Status = std::filesystem::status(std::filesystem::u8path(Row.FileName), Error);
  if (!std::filesystem::exists(Status))
    return Row.FileName + ": " + (Error ? Error.message() : std::string("No such file or directory"));
  if (!std::filesystem::is_regular_file(Status)) return Row.FileName + ": not a regular file";
  const uintmax_t Size = std::filesystem::file_size(std::filesystem::u8path(Row.FileName), Error);
  if (Error) return Row.FileName + ": " + Error.message();
  if (Size < Row.Size)
    return Row.FileName + ": shorter now (" + std::to_string(Size) + " bytes) than when it was queued (" +
           std::to_string(Row.Size) + " bytes)";
  return std::string();
}

}  // namespace

bool WriteImage(const std::string& FileName, uint8_t Code, const TGameQueue& Queue, TLink& Link,
                TTransferOutcome* Outcome, std::vector<uint8_t>* Sent, TRepairMode Repair) {
  if (Sent) Sent->clear();
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TTransferOutcome Own;
  TTransferOutcome& Result = Outcome ? *Outcome : Own;
  Result = TTransferOutcome{};
  // Every early return below is a failure of a file: the source, the pack
  // image or a size the card cannot take. The loop sets its own ends.
  Result.End = TTransferEnd::FileFailed;
  const auto FileFailure = [&](const char* Text) {
    Result.Reason = Text;
    FrontEnd.SetStatusText(1, Text);
    State.Operating = false;
    return false;
  };

  TSpaceTime Timer;
  Timer.Start();
  State.Operating = true;
  FrontEnd.SetStatusText(1, "Now writting...");
  FrontEnd.PumpMessages();

  const bool Named = !FileName.empty();
  // The rows as they are now: files dropped while the write runs join the
  // queue but not this write.
  const std::vector<TQueueRow> Rows = Queue.Rows();
  TWriteSource Source;
  if (Named) {
    Source.File = OpenFileShared(FileName);
  } else if (Rows.size() == 1) {
    Source.File = OpenFileShared(Rows.front().FileName);
    if (!Source.File) {
      Result.Detail = QueuedFileProblem(Rows.front());
      return FileFailure(WriteOpenGameError);
    }
  } else if (Rows.empty()) {
    // Nothing to write: a pack of the menu alone would only wipe the page.
    return FileFailure(WriteOpenGameError);
  } else {
    // A queued game that is gone or changed makes the pack fail: named, with
    // the system's reason, beside the program's own text.
    for (const TQueueRow& Row : Rows) {
      const std::string Problem = QueuedFileProblem(Row);
      if (Problem.empty()) continue;
      Result.Detail = Problem;
      return FileFailure(WriteCreatePackError);
    }
    std::string PackFileName;
    if (!BuildPackImage(Rows, FrontEnd, PackFileName, Source.File)) return FileFailure(WriteCreatePackError);
    Source.PackFileName = PackFileName;
  }

  int Position = 0;
  FrontEnd.SetProgress(Position);
  const TProgressReset ResetProgress{FrontEnd};
  const int64_t Size = Source.File ? FileSizeOfHandle(Source.File) : -1;
  // Nothing was sent. Operating stays for the handler's closing steps to
  // clear; the outcome says what happened.
  if (!Source.File || Size < 0 || std::fseek(Source.File, 0, SEEK_SET) != 0) {
    Result.Reason = WriteOpenSourceError;
    FrontEnd.SetStatusText(1, WriteOpenSourceError);
    return false;
  }
  if (Code == cmdWriteSram && Size > SaveRamSize) {
    Result.Reason = WriteSaveTooLarge;
    return Refuse(FrontEnd, State, WriteSaveTooLarge, "The save RAM holds 131072 bytes.");
  }
  if (Code != cmdWriteSram && Named && Size > FlashImageLimit) {
    Result.Reason = WriteImageTooLarge;
    return Refuse(FrontEnd, State, WriteImageTooLarge, "The card holds 8388608 bytes.");
  }
  if (!Named && Size > PageSize) {
    // The queued game grew since it was added.
    FrontEnd.ShowMessageBox(QueueSpaceError, "Error", MB_FLAGS_ERROR);
    return FileFailure(WriteOpenGameError);
  }

  const uint32_t Total = static_cast<uint32_t>(Size);
  const uint32_t Divisor = Total / static_cast<uint32_t>(FrontEnd.ProgressMax()) + 1;
  Timer.Total = static_cast<int32_t>(Total);
  Result.Total = Total;

  const uint32_t HeaderBlocks = (Named && Total > PageSize ? 2 : 1) * FormatBlocksPerPage;
  if (Code != cmdWriteSram && Repair != TRepairMode::Off) {
    // The image is compared block by block with the card, so it is held whole.
    std::vector<uint8_t> Image(Total);
    if (Total > 0 && std::fread(Image.data(), 1, Total, Source.File) != Total) return FileFailure(WriteReadSourceError);
    const TRepairTarget Target{Named ? 0 : State.PageBase, Named, HeaderBlocks};
    bool OnlyWhatDiffers = Repair == TRepairMode::On;
    if (!OnlyWhatDiffers) {
      const TStartOnCard Start = ImageStartOnCard(Image, Target, Link);
      // Nothing was sent: a stop here formats nothing.
      if (Start == TStartOnCard::Unread || Start == TStartOnCard::Stopped) {
        Result.End = Start == TStartOnCard::Unread ? TTransferEnd::LinkFailed : TTransferEnd::Stopped;
        Result.Reason = FrontEnd.StatusText(1);
        return false;
      }
      OnlyWhatDiffers = Start == TStartOnCard::Holds &&
                        FrontEnd.ShowMessageBox(RepairQuestion(Named, State.PageBase), "Write", MB_FLAGS_QUESTION) ==
                            MB_RESULT_YES;
    }
    if (OnlyWhatDiffers) return RepairImage(Image, Target, Link, Result, Sent);
    if (std::fseek(Source.File, 0, SEEK_SET) != 0) return FileFailure(WriteReadSourceError);
    FrontEnd.SetStatusText(1, "Now writting...");
  }

  if (Code != cmdWriteSram) {
    // A whole-flash image goes to bare addresses from 0, so it is the pages
    // it covers that must lose their old headers, not the selected one.
    const uint32_t Blocks = HeaderBlocks;
    const uint32_t Cleared = Named ? FormatBlocks(0, Blocks, Link) : FormatCard(false, Link);
    Result.CardTouched = Cleared > 0;
    Result.FormatBlocks = Blocks;
    Result.FormatCleared = Cleared;
    if (Cleared < Blocks) {
      // The cable stopped taking packets: nothing of the image would get through.
      Link.ReportWriteError();
      State.Operating = false;
      Result.End = TTransferEnd::LinkFailed;
      Result.Reason = FrontEnd.StatusText(1);
      return false;
    }
  }

  if (Sent) Sent->reserve(Total);
  TLinkWritePacket Packet;
  std::memset(&Packet, 0, sizeof Packet);
  Packet.Header.Code = Code != 0 ? Code : cmdWriteRom;
  // Save RAM has no pages: 'M' packets always carry the bare offset.
  const uint32_t Base = Named || Code == cmdWriteSram ? 0 : State.PageBase;
  // Packets may still be in flight when the loop ends: however it ends, they
  // end first, and only what the cable confirmed counts as reached.
  const uint64_t ConfirmedBefore = Link.Writes().ConfirmedBytes();
  const auto Settle = [&] {
    const bool Whole = Link.FinishWrites();
    Result.Reached = static_cast<uint32_t>(Link.Writes().ConfirmedBytes() - ConfirmedBefore);
    return Whole;
  };
  const auto LinkFailure = [&] {
    Settle();
    Link.ReportWriteError();
    State.Operating = false;
    Result.End = TTransferEnd::LinkFailed;
    Result.Reason = FrontEnd.StatusText(1);
    return false;
  };
  uint32_t Offset = 0;
  while (Offset < Total) {
    FrontEnd.PumpMessages();
    if (!State.Operating) {
      if (!Settle()) return LinkFailure();
      Result.End = TTransferEnd::Stopped;
      Result.Reason = FrontEnd.StatusText(1);
      return false;
    }
    const uint32_t Count = Total - Offset < LinkWriteChunk ? Total - Offset : LinkWriteChunk;
    // The data bytes past Count keep the previous chunk; the packet is sent whole.
    if (std::fread(Packet.Data, 1, Count, Source.File) != Count) {
      if (!Settle()) return LinkFailure();
      return FileFailure(WriteReadSourceError);
    }
    if (Sent) Sent->insert(Sent->end(), Packet.Data, Packet.Data + Count);
    Packet.Header.Address = SwapDWord(Base + Offset);
    Packet.Header.Length = SwapDWord(Count);
    Result.CardTouched = true;
    if (!Link.SendWritePacket(Packet)) return LinkFailure();
    Offset += Count;
    const int NewPosition = static_cast<int>(Offset / Divisor);
    if (NewPosition != Position) {
      FrontEnd.SetStatusText(1, "Now writting...  Estimate remain time: " + Timer.RemainText(static_cast<int32_t>(Offset)));
      Position = NewPosition;
      FrontEnd.SetProgress(Position);
    }
    FrontEnd.PumpMessages();
  }
  if (!Settle()) return LinkFailure();
  Timer.Stop();
  FrontEnd.SetStatusText(1, "Write complete.  Time used: " + Timer.ElapsedText());
  Result.End = TTransferEnd::Done;
  return true;
}
