// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/CableTiming.h"

#include <algorithm>

TCableTiming::TCableTiming(const TCableTimingFigures& Figures) : FFigures(Figures) {
  if (FFigures.FrameNs < 1) FFigures.FrameNs = 1;
  if (FFigures.PacketsPerFrame < 1) FFigures.PacketsPerFrame = 1;
  if (FFigures.MaxPacketBytes < 1) FFigures.MaxPacketBytes = 1;
  if (FFigures.CompletionLatencyNs < 1) FFigures.CompletionLatencyNs = 1;
}

void TCableTiming::WaitUntil(int64_t Time) { FNow = std::max(FNow, Time); }

int64_t TCableTiming::SlotStart(uint64_t Slot) const {
  const uint64_t Frame = Slot / FFigures.PacketsPerFrame, Index = Slot % FFigures.PacketsPerFrame;
  return static_cast<int64_t>(Frame) * FFigures.FrameNs +
         static_cast<int64_t>(Index) * FFigures.FrameNs / static_cast<int64_t>(FFigures.PacketsPerFrame);
}

uint64_t TCableTiming::FirstSlotFrom(int64_t Time) const {
  if (Time < 0) Time = 0;
  const int64_t Frame = Time / FFigures.FrameNs;
  const int64_t Within = Time - Frame * FFigures.FrameNs;
  // A first guess from the slot length, then the exact start decides.
  uint64_t Slot = static_cast<uint64_t>(Frame) * FFigures.PacketsPerFrame +
                  static_cast<uint64_t>(Within * FFigures.PacketsPerFrame / FFigures.FrameNs);
  while (SlotStart(Slot) < Time) ++Slot;
  return std::max(Slot, FNextSlot);
}

int64_t TCableTiming::TakeSlot(int64_t Time) {
  const uint64_t Slot = FirstSlotFrom(Time);
  FNextSlot = Slot + 1;
  return SlotStart(Slot + 1);
}

int64_t TCableTiming::SeenAt(int64_t Done) const {
  const int64_t Latency = FFigures.CompletionLatencyNs;
  return (Done + Latency - 1) / Latency * Latency;
}

uint64_t TCableTiming::PacketsOf(size_t Count) const {
  // A transfer of no bytes still takes one (empty) packet.
  return Count == 0 ? 1 : (Count + FFigures.MaxPacketBytes - 1) / FFigures.MaxPacketBytes;
}

int64_t TCableTiming::StartOut(size_t Count, const TFirmwareWork& Work) {
  const uint64_t Packets = PacketsOf(Count);
  int64_t Done = FNow;
  for (uint64_t Packet = 0; Packet < Packets; ++Packet) {
    // NAKed until the endpoint's buffer is empty; then the packet sits there
    // until the firmware is idle and takes it out.
    Done = TakeSlot(std::max(FNow, FEndpointFreeAt));
    FEndpointFreeAt = std::max(Done, FFirmwareFreeAt);
  }
  const int64_t Begin = FEndpointFreeAt;
  int64_t Busy = 0;
  if (Work.ProgramsFlash) Busy += FFigures.BufferProgramNs + (Work.ErasesBlock ? FFigures.BlockEraseNs : 0);
  FFirmwareFreeAt = Begin + Busy;
  if (Work.Replies) FReplyReadyAt = Begin;
  return SeenAt(Done);
}

int64_t TCableTiming::StartIn(size_t Count) {
  const uint64_t Packets = PacketsOf(Count);
  int64_t Done = FNow;
  for (uint64_t Packet = 0; Packet < Packets; ++Packet) Done = TakeSlot(std::max(FNow, FReplyReadyAt));
  return SeenAt(Done);
}

int64_t TCableTiming::FlashLimitNs(uint64_t Packets, uint64_t Erases) const {
  return static_cast<int64_t>(Packets) * FFigures.BufferProgramNs + static_cast<int64_t>(Erases) * FFigures.BlockEraseNs;
}

int64_t TCableTiming::BusLimitNs(uint64_t Bytes) const {
  const uint64_t Packets = (Bytes + FFigures.MaxPacketBytes - 1) / FFigures.MaxPacketBytes;
  return static_cast<int64_t>(Packets) * FFigures.FrameNs / static_cast<int64_t>(FFigures.PacketsPerFrame);
}
