#include "core/transfer/ReadEngine.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
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

  TSpaceTime Timer;
  Timer.Start();
  State.Operating = true;
  FrontEnd.SetStatusText(1, "Now reading...");
  FrontEnd.PumpMessages();

  const uint32_t Total = End > Start ? End - Start : 0;
  int Position = 0;
  FrontEnd.SetProgress(Position);
  const uint32_t Divisor = Total / static_cast<uint32_t>(FrontEnd.ProgressMax()) + 1;

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(std::fopen(FileName.c_str(), "wb"), &std::fclose);
  std::vector<uint8_t> Buffer(ReadPieceSize);
  Timer.Total = static_cast<int32_t>(Total);
  Out.Total = Total;

  bool Result = false;
  if (!File) {
    FrontEnd.SetStatusText(1, ReadFileCreateError);
    EndWith(TTransferEnd::FileFailed);
  } else {
    // Unbuffered, so a full disk shows at the piece that did not fit rather
    // than at a late flush after the read was already called complete.
    std::setvbuf(File.get(), nullptr, _IONBF, 0);
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
      if (std::fwrite(Buffer.data(), 1, Count, File.get()) != Count) {
        FrontEnd.SetStatusText(1, ReadFileWriteError);
        State.Operating = false;   // the next file would meet the same full disk
        EndedEarly = true;
        EndWith(TTransferEnd::FileFailed);
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
      if (std::fclose(File.release()) != 0) {
        FrontEnd.SetStatusText(1, ReadFileWriteError);
        State.Operating = false;
        EndWith(TTransferEnd::FileFailed);
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
