#include "core/transfer/ReadEngine.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/support/ReplaceFile.h"
#include "core/support/SpaceTime.h"

bool ReadToFile(uint32_t Start, uint32_t End, uint8_t Code, const std::string& FileName, TLink& Link,
                TTransferOutcome* Outcome) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TTransferOutcome Own;
  TTransferOutcome& Out = Outcome ? *Outcome : Own;
  Out = TTransferOutcome{};
  const auto EndWith = [&](TTransferEnd End) {
    Out.End = End;
    Out.Reason = FrontEnd.StatusText(1);
  };
  const auto FileFailed = [&](const char* Text, const TReplaceFile& File) {
    FrontEnd.SetStatusText(1, Text);
    EndWith(TTransferEnd::FileFailed);
    Out.Detail = FileName + ": " + File.Error();
  };

  TSpaceTime Timer;
  Timer.Start();
  State.Operating = true;
  FrontEnd.SetStatusText(1, "Now reading...");
  FrontEnd.PumpMessages();

  const uint32_t Total = End > Start ? End - Start : 0;
  int Position = 0;
  FrontEnd.SetProgress(Position);
  const uint32_t Divisor = Total / static_cast<uint32_t>(FrontEnd.ProgressMax()) + 1;

  // The old file stays whole until the new one is: a read cut short by a
  // stop, a pulled cable or a full disk leaves it as it was.
  TReplaceFile File(FileName);
  std::vector<uint8_t> Buffer(ReadPieceSize);
  Timer.Total = static_cast<int32_t>(Total);
  Out.Total = Total;

  bool Result = false;
  if (!File.Ok()) {
    FileFailed(ReadFileCreateError, File);
  } else {
    uint32_t Done = 0;
    bool EndedEarly = false;
    while (Done < Total) {
      FrontEnd.PumpMessages();
      if (!State.Operating) {
        EndedEarly = true;
        EndWith(TTransferEnd::Stopped);
        break;
      }
      const uint32_t Count = Total - Done < ReadPieceSize ? Total - Done : ReadPieceSize;
      if (!Link.ReadBlock(static_cast<int32_t>(Start + Done), static_cast<uint16_t>(Count), Code, Buffer.data())) {
        EndedEarly = true;   // reported by the link, Operating cleared
        EndWith(TTransferEnd::LinkFailed);
        break;
      }
      if (!File.Write(Buffer.data(), Count)) {
        FileFailed(ReadFileWriteError, File);
        State.Operating = false;   // the next file would meet the same full disk
        EndedEarly = true;
        break;
      }
      Done += Count;
      Out.Reached = Done;
      const int NewPosition = static_cast<int>(Done / Divisor);
      if (NewPosition != Position) {
        FrontEnd.SetStatusText(1, "Now reading...  Estimate remain time: " + Timer.RemainText(static_cast<int32_t>(Done)));
        Position = NewPosition;
        FrontEnd.SetProgress(Position);
      }
      FrontEnd.PumpMessages();
    }
    if (!EndedEarly) {
      if (!File.Commit()) {
        FileFailed(ReadFileWriteError, File);
        State.Operating = false;
      } else {
        Result = true;
        Timer.Stop();
        FrontEnd.SetStatusText(1, "Read complete.  Time used: " + Timer.ElapsedText());
      }
    }
  }
  FrontEnd.SetProgress(0);
  return Result;
}
