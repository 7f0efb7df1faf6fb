// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/WriteRepair.h"

#include <algorithm>
#include <cstring>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/link/Link.h"
#include "core/support/Bytes.h"
#include "core/support/SpaceTime.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/ReadEngine.h"

namespace {

// Named images go to bare addresses: their reads too, for as long as this lives.
struct TReadBase {
  TSharedState& State;
  uint32_t Kept;
  TReadBase(TSharedState& S, bool Named) : State(S), Kept(S.PageBase) {
    if (Named) State.PageBase = 0;
  }
  ~TReadBase() { State.PageBase = Kept; }
};

uint32_t BlocksOf(size_t Size) { return static_cast<uint32_t>((Size + RepairBlockSize - 1) / RepairBlockSize); }

// What erase block Block must hold after a whole write: the image's bytes,
// then 0xFF where the image ends inside it.
void ExpectedBlock(const std::vector<uint8_t>& Image, uint32_t Block, std::vector<uint8_t>& Expected) {
  Expected.assign(RepairBlockSize, 0xFF);
  const size_t Start = static_cast<size_t>(Block) * RepairBlockSize;
  const size_t Count = std::min<size_t>(RepairBlockSize, Image.size() - Start);
  std::memcpy(Expected.data(), Image.data() + Start, Count);
}

enum class TCompare { Same, Differs, Stopped, Failed };

// Reads erase block Block (relative to the read base) and compares it with
// Expected, stopping at the first piece that differs. Pumps between pieces;
// a failed read is reported by the link, which clears Operating.
TCompare CompareBlock(TLink& Link, uint32_t Block, const std::vector<uint8_t>& Expected) {
  std::vector<uint8_t> Piece(ReadPieceSize);
  for (uint32_t Done = 0; Done < RepairBlockSize; Done += ReadPieceSize) {
    Link.FrontEnd().PumpMessages();
    if (!Link.State().Operating) return TCompare::Stopped;
    const int32_t Address = static_cast<int32_t>(Block * RepairBlockSize + Done);
    if (!Link.ReadBlock(Address, static_cast<uint16_t>(ReadPieceSize), cmdReadRom, Piece.data())) return TCompare::Failed;
    if (std::memcmp(Piece.data(), Expected.data() + Done, ReadPieceSize) != 0) return TCompare::Differs;
  }
  return TCompare::Same;
}

}  // namespace

TStartOnCard ImageStartOnCard(const std::vector<uint8_t>& Image, const TRepairTarget& Target, TLink& Link) {
  if (Image.empty()) return TStartOnCard::Differs;
  TSharedState& State = Link.State();
  const TReadBase ReadBase(State, Target.Named);
  const bool Operating = State.Operating;
  State.Operating = true;
  std::vector<uint8_t> Expected;
  ExpectedBlock(Image, 0, Expected);
  const TCompare Result = CompareBlock(Link, 0, Expected);
  if (Result == TCompare::Failed) return TStartOnCard::Unread;
  if (Result == TCompare::Stopped) return TStartOnCard::Stopped;
  State.Operating = Operating;
  return Result == TCompare::Same ? TStartOnCard::Holds : TStartOnCard::Differs;
}

bool RepairImage(const std::vector<uint8_t>& Image, const TRepairTarget& Target, TLink& Link,
                 TTransferOutcome& Outcome, std::vector<uint8_t>* Sent) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TSpaceTime Timer;
  Timer.Start();
  Outcome.Repair = true;
  Outcome.Total = static_cast<uint32_t>(Image.size());
  Outcome.Reached = 0;
  if (Sent) *Sent = Image;
  State.Operating = true;
  const auto Ended = [&](TTransferEnd End) {
    Outcome.End = End;
    Outcome.Reason = FrontEnd.StatusText(1);
    return false;
  };

  // The comparison: every erase block the image covers, then the header
  // area of each 32 KiB block past them.
  const uint32_t Blocks = BlocksOf(Image.size());
  Outcome.BlocksCompared = Blocks;
  std::vector<uint32_t> Differing;
  std::vector<uint32_t> Headers;
  {
    const TReadBase ReadBase(State, Target.Named);
    FrontEnd.SetStatusText(1, RepairCompareText);
    FrontEnd.SetProgress(0);
    std::vector<uint8_t> Expected;
    for (uint32_t Block = 0; Block < Blocks; ++Block) {
      ExpectedBlock(Image, Block, Expected);
      const TCompare Result = CompareBlock(Link, Block, Expected);
      if (Result == TCompare::Stopped) return Ended(TTransferEnd::Stopped);
      if (Result == TCompare::Failed) return Ended(TTransferEnd::LinkFailed);
      if (Result == TCompare::Differs) Differing.push_back(Block);
      FrontEnd.SetProgress(static_cast<int>((Block + 1) * static_cast<uint64_t>(FrontEnd.ProgressMax()) / (Blocks + 1)));
    }
    // A block whose logo tail is gone lists nothing already, whatever the
    // rest of its header area holds: it is left as it is.
    const uint32_t FirstPast = Blocks * (RepairBlockSize / FormatBlockSize);
    uint8_t Tail[4];
    for (uint32_t Header = FirstPast; Header < Target.HeaderBlocks; ++Header) {
      FrontEnd.PumpMessages();
      if (!State.Operating) return Ended(TTransferEnd::Stopped);
      if (!Link.ReadBlock(static_cast<int32_t>(Header * FormatBlockSize + HeaderTailOffset), sizeof Tail, cmdReadRom,
                          Tail))
        return Ended(TTransferEnd::LinkFailed);
      if (ReadLE32(Tail) == HeaderLogoTail) Headers.push_back(Header);
    }
  }
  Outcome.BlocksToRewrite = static_cast<uint32_t>(Differing.size());
  Outcome.HeadersToClear = static_cast<uint32_t>(Headers.size());
  // Every block before the first that differs is the image's already.
  Outcome.Reached = Differing.empty() ? Outcome.Total : Differing.front() * RepairBlockSize;

  // Old headers past the image go first, as the format step's do, so that a
  // write cut short never leaves old games listed behind the new ones.
  TLinkWritePacket Packet;
  std::memset(&Packet, 0, sizeof Packet);
  Packet.Header.Code = cmdWriteRom;
  Packet.Header.Length = SwapDWord(LinkWriteChunk);
  const auto LinkFailure = [&] {
    Link.ReportWriteError();
    State.Operating = false;
    return Ended(TTransferEnd::LinkFailed);
  };
  if (!Headers.empty()) {
    const uint64_t Before = Link.Writes().ConfirmedPackets();
    for (const uint32_t Header : Headers) {
      Packet.Header.Address = SwapDWord(Target.Base + Header * FormatBlockSize + FormatClearOffset);
      Outcome.CardTouched = true;
      if (!Link.SendWritePacket(Packet)) break;
    }
    const bool Whole = Link.FinishWrites();
    Outcome.HeadersCleared = static_cast<uint32_t>(Link.Writes().ConfirmedPackets() - Before);
    if (!Whole) return LinkFailure();
  }

  // Then each block that differs, whole and from its first byte.
  const uint64_t Total = static_cast<uint64_t>(Differing.size()) * RepairBlockSize;
  Timer.Total = static_cast<int32_t>(Total);
  const uint32_t Divisor = static_cast<uint32_t>(Total / static_cast<uint64_t>(FrontEnd.ProgressMax()) + 1);
  FrontEnd.SetStatusText(1, "Now writting...");
  FrontEnd.SetProgress(0);
  const uint64_t ConfirmedBefore = Link.Writes().ConfirmedBytes();
  // What the cable confirmed says how far the image's start now reaches.
  const auto Settle = [&] {
    const bool Whole = Link.FinishWrites();
    uint64_t Confirmed = Link.Writes().ConfirmedBytes() - ConfirmedBefore;
    uint32_t Done = 0;
    Outcome.Reached = Outcome.Total;
    for (const uint32_t Block : Differing) {
      const uint32_t Start = Block * RepairBlockSize;
      const uint32_t Size = std::min<uint32_t>(RepairBlockSize, Outcome.Total - Start);
      if (Confirmed < Size) {
        Outcome.Reached = Start + static_cast<uint32_t>(Confirmed);
        break;
      }
      Confirmed -= Size;
      ++Done;
    }
    Outcome.BlocksRewritten = Done;
    return Whole;
  };
  uint64_t Written = 0;
  int Position = 0;
  for (const uint32_t Block : Differing) {
    const uint32_t Start = Block * RepairBlockSize;
    const uint32_t End = std::min<uint32_t>(Start + RepairBlockSize, Outcome.Total);
    for (uint32_t Offset = Start; Offset < End;) {
      FrontEnd.PumpMessages();
      if (!State.Operating) {
        if (!Settle()) return LinkFailure();
        return Ended(TTransferEnd::Stopped);
      }
      const uint32_t Count = std::min<uint32_t>(End - Offset, LinkWriteChunk);
      std::memcpy(Packet.Data, Image.data() + Offset, Count);
      Packet.Header.Address = SwapDWord(Target.Base + Offset);
      Packet.Header.Length = SwapDWord(Count);
      Outcome.CardTouched = true;
      if (!Link.SendWritePacket(Packet)) {
        Settle();
        return LinkFailure();
      }
      Offset += Count;
      Written += Count;
      const int NewPosition = static_cast<int>(Written / Divisor);
      if (NewPosition != Position) {
        FrontEnd.SetStatusText(1, "Now writting...  Estimate remain time: " +
                                      Timer.RemainText(static_cast<int32_t>(Written)));
        Position = NewPosition;
        FrontEnd.SetProgress(Position);
      }
    }
  }
  if (!Settle()) return LinkFailure();
  Timer.Stop();
  FrontEnd.SetStatusText(1, "Write complete.  " + RepairSummary(Outcome) + ".  Time used: " + Timer.ElapsedText());
  Outcome.End = TTransferEnd::Done;
  Outcome.Reason.clear();
  return true;
}

std::string RepairSummary(const TTransferOutcome& Outcome) {
  std::string Text = std::to_string(Outcome.BlocksRewritten) + " of " + std::to_string(Outcome.BlocksCompared) +
                     " blocks rewritten";
  if (Outcome.HeadersCleared)
    Text += ", " + std::to_string(Outcome.HeadersCleared) + " old header" + (Outcome.HeadersCleared == 1 ? "" : "s") +
            " past the image cleared";
  return Text;
}

std::string RepairQuestion(bool Named, uint32_t PageBase) {
  const std::string Where = Named ? "The flash from card address 0" : "\"" + PageNameOf(PageBase) + "\"";
  return Where + " already holds the start of this image (a write cut short, or the same games written before)." +
         "\r\nWrite only what differs? (No: format and write everything)";
}
