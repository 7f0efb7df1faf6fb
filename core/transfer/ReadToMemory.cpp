// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/ReadToMemory.h"

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/transfer/ReadEngine.h"

bool ReadToMemory(uint32_t Start, uint32_t End, uint8_t Code, TLink& Link, std::vector<uint8_t>& Bytes,
                  TTransferOutcome* Outcome, const char* DoneText) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  const uint32_t Total = End > Start ? End - Start : 0;
  Bytes.assign(Total, 0);
  State.Operating = true;
  FrontEnd.SetStatusText(1, "Now reading...");
  const uint32_t Divisor = Total / static_cast<uint32_t>(FrontEnd.ProgressMax()) + 1;
  FrontEnd.SetProgress(0);
  uint32_t Done = 0;
  TTransferOutcome Own;
  TTransferOutcome& Out = Outcome ? *Outcome : Own;
  Out = TTransferOutcome{};
  Out.Total = Total;
  while (Done < Total) {
    FrontEnd.PumpMessages();
    if (!State.Operating) {
      Out.End = TTransferEnd::Stopped;
      Out.Reason = "Stopped.";
      break;
    }
    const uint32_t Count = Total - Done < ReadPieceSize ? Total - Done : ReadPieceSize;
    // A failed exchange is reported by the link, which clears Operating.
    if (!Link.ReadBlock(static_cast<int32_t>(Start + Done), static_cast<uint16_t>(Count), Code, Bytes.data() + Done)) {
      Out.End = TTransferEnd::LinkFailed;
      Out.Reason = FrontEnd.StatusText(1);
      break;
    }
    Done += Count;
    FrontEnd.SetProgress(static_cast<int>(Done / Divisor));
  }
  FrontEnd.SetProgress(0);
  Out.Reached = Done;
  if (Done < Total) {
    Bytes.resize(Done);
    return false;
  }
  FrontEnd.SetStatusText(1, DoneText);
  return true;
}
