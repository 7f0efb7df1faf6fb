// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>

// What the cable's firmware has to do for one command, as far as time goes.
struct TFirmwareWork {
  bool ProgramsFlash = false;   // a 'W' the firmware carries out: one buffer program
  bool ErasesBlock = false;     // ... that starts an erase block, which is erased first
  bool Replies = false;         // a command whose reply then waits in the IN endpoint
};

// The figures of the timing model, each written once, with its source.
struct TCableTimingFigures {
  // USB 2.0 full speed: a start-of-frame every 1 ms (USB 2.0, 5.3.3 and
  // 8.4.3.1).
  int64_t FrameNs = 1'000'000;
  // At most 19 bulk transactions of 64 bytes fit into one full-speed frame
  // (USB 2.0, Table 5-9, full-speed bulk transaction limits: 1216 bytes a
  // frame, about 1.2 MB/s).
  unsigned PacketsPerFrame = 19;
  unsigned MaxPacketBytes = 64;
  // When the host learns that a transfer ended: at the end of the interval
  // in which it ended. Host controllers report completions at frame ends
  // (1 ms); 125 us is a microframe, for a host that reports sooner.
  int64_t CompletionLatencyNs = 1'000'000;
  // The E28F640J3A's datasheet: a 32-byte write-buffer program takes about
  // 218 us (6.8 us per byte), a 128 KiB block erase about 1 s (typical).
  int64_t BufferProgramNs = 218'000;
  int64_t BlockEraseNs = 1'000'000'000;
  // Reads of flash and save RAM, save-RAM writes and the other commands cost
  // the bus time only: the microcontroller keeps pace with the bus there.
};

// The cable's time on a virtual clock, no real sleeping: the bus as slots of
// 1/19 frame, the cable's OUT endpoint holding one packet and NAKing while
// it is full, the firmware taking a packet out of the endpoint when it is
// idle and working on it for the figures above, and the host seeing each
// transfer end at the end of its completion interval.
//
// Transfers keep their order (one OUT and one IN endpoint, one device on the
// bus), so each transfer's timing is known when it starts: StartOut and
// StartIn say when the host will see it end, and the host's own time moves
// on only when it waits (WaitUntil). The host's own work costs no time here.
class TCableTiming {
public:
  explicit TCableTiming(const TCableTimingFigures& Figures = {});

  const TCableTimingFigures& Figures() const { return FFigures; }
  int64_t Now() const { return FNow; }
  void WaitUntil(int64_t Time);

  // An OUT transfer of Count bytes that the host starts now: the time at
  // which the host sees it end.
  int64_t StartOut(size_t Count, const TFirmwareWork& Work);
  // An IN transfer of Count bytes that the host starts now.
  int64_t StartIn(size_t Count);

  // The flash's own limit: Packets buffer programs and Erases block erases
  // back to back, with the bus never keeping the flash waiting.
  int64_t FlashLimitNs(uint64_t Packets, uint64_t Erases) const;
  // The bus's limit for Bytes of IN data: full frames of 64-byte packets.
  int64_t BusLimitNs(uint64_t Bytes) const;

private:
  int64_t SlotStart(uint64_t Slot) const;
  uint64_t FirstSlotFrom(int64_t Time) const;
  // Takes the first free bus slot at or after Time; returns when it ends.
  int64_t TakeSlot(int64_t Time);
  int64_t SeenAt(int64_t Done) const;
  uint64_t PacketsOf(size_t Count) const;

  TCableTimingFigures FFigures;
  int64_t FNow = 0;
  uint64_t FNextSlot = 0;          // the first bus slot not yet taken
  int64_t FEndpointFreeAt = 0;     // the OUT endpoint's buffer is empty again
  int64_t FFirmwareFreeAt = 0;     // the firmware is idle again
  int64_t FReplyReadyAt = 0;       // the last reply waits in the IN endpoint
};
