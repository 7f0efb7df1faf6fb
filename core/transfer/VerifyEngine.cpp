#include "core/transfer/VerifyEngine.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/support/FileData.h"
#include "core/support/SpaceTime.h"
#include "core/transfer/ReadEngine.h"

namespace {

// The verify pass; Next fills the buffer with the next Piece expected bytes
// and returns how many it had, or -1 when there is no source at all.
using TExpectedSource = std::function<int64_t(uint8_t* Buffer, uint32_t Piece)>;

bool Verify(const TExpectedSource& Next, bool Opened, uint32_t Start, uint32_t Count, uint8_t Code, TLink& Link,
            TVerifyOutcome* Outcome) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TVerifyOutcome Own;
  TVerifyOutcome& Out = Outcome ? *Outcome : Own;
  Out = TVerifyOutcome{};
  Out.Total = Count;
  const auto EndWith = [&](TTransferEnd End) {
    Out.End = End;
    Out.Reason = FrontEnd.StatusText(1);
    FrontEnd.SetProgress(0);
    return false;
  };

  TSpaceTime Timer;
  Timer.Start();
  Timer.Total = static_cast<int32_t>(Count);
  State.Operating = true;
  FrontEnd.SetStatusText(1, VerifyStartText);
  FrontEnd.PumpMessages();

  if (!Opened) {
    FrontEnd.SetStatusText(1, VerifyOpenError);
    State.Operating = false;
    return EndWith(TTransferEnd::FileFailed);
  }

  int Position = 0;
  FrontEnd.SetProgress(Position);
  const uint32_t Divisor = Count / static_cast<uint32_t>(FrontEnd.ProgressMax()) + 1;
  std::vector<uint8_t> Card(ReadPieceSize), Wanted(ReadPieceSize);
  uint32_t Done = 0;
  while (Done < Count) {
    FrontEnd.PumpMessages();
    if (!State.Operating) return EndWith(TTransferEnd::Stopped);
    const uint32_t Piece = Count - Done < ReadPieceSize ? Count - Done : ReadPieceSize;
    if (!Link.ReadBlock(static_cast<int32_t>(Start + Done), static_cast<uint16_t>(Piece), Code, Card.data()))
      return EndWith(TTransferEnd::LinkFailed);   // reported by the link, Operating cleared
    const int64_t Got = Next(Wanted.data(), Piece);
    for (uint32_t I = 0; I < Piece; ++I) {
      // A file shorter now than what was written differs where it ends.
      if (static_cast<int64_t>(I) >= Got || Card[I] != Wanted[I]) {
        Out.FirstDifference = static_cast<int64_t>(Done) + I;
        Out.Reached = Done + I;
        Out.End = TTransferEnd::Done;
        FrontEnd.SetProgress(0);
        return false;
      }
    }
    Done += Piece;
    Out.Reached = Done;
    const int NewPosition = static_cast<int>(Done / Divisor);
    if (NewPosition != Position) {
      FrontEnd.SetStatusText(1, std::string(VerifyStartText) + "  Estimate remain time: " +
                                    Timer.RemainText(static_cast<int32_t>(Done)));
      Position = NewPosition;
      FrontEnd.SetProgress(Position);
    }
    FrontEnd.PumpMessages();
  }
  FrontEnd.SetProgress(0);
  Out.End = TTransferEnd::Done;
  return true;
}

}  // namespace

bool VerifyAgainstFile(const std::string& Expected, uint32_t Start, uint32_t Count, uint8_t Code, TLink& Link,
                       TVerifyOutcome* Outcome) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(OpenFileShared(Expected), &std::fclose);
  const auto Next = [&File](uint8_t* Buffer, uint32_t Piece) {
    return static_cast<int64_t>(std::fread(Buffer, 1, Piece, File.get()));
  };
  return Verify(Next, File != nullptr, Start, Count, Code, Link, Outcome);
}

bool VerifyAgainstBytes(const std::vector<uint8_t>& Expected, uint32_t Start, uint32_t Count, uint8_t Code,
                        TLink& Link, TVerifyOutcome* Outcome) {
  size_t At = 0;
  const auto Next = [&Expected, &At](uint8_t* Buffer, uint32_t Piece) {
    const size_t Got = std::min<size_t>(Piece, Expected.size() - At);
    std::copy(Expected.begin() + static_cast<std::ptrdiff_t>(At),
              Expected.begin() + static_cast<std::ptrdiff_t>(At + Got), Buffer);
    At += Got;
    return static_cast<int64_t>(Got);
  };
  return Verify(Next, true, Start, Count, Code, Link, Outcome);
}
