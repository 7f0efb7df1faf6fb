#include "core/transfer/VerifyEngine.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/support/FileData.h"
#include "core/support/SpaceTime.h"
#include "core/transfer/ReadEngine.h"

bool VerifyAgainstFile(const std::string& Expected, uint32_t Start, uint32_t Count, uint8_t Code, TLink& Link,
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

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(OpenFileShared(Expected), &std::fclose);
  if (!File) {
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
    const size_t Got = std::fread(Wanted.data(), 1, Piece, File.get());
    for (uint32_t I = 0; I < Piece; ++I) {
      // A file shorter now than what was written differs where it ends.
      if (I >= Got || Card[I] != Wanted[I]) {
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
