// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/CableTiming.h"
#include "emulator/Card.h"

// One transfer as it crossed the cable's USB connection.
struct TTransfer {
  bool In;                          // true: bulk IN (cable to host)
  std::vector<uint8_t> Bytes;
};

// The cable's firmware: takes bulk OUT transfers, answers with bulk IN
// transfers, carries the commands out on the card. Thread-safe: the driver
// tests call it from several threads.
//
// Every command is one OUT transfer: exactly 9 bytes, or exactly 41 for the
// write commands 'W' and 'M'. The firmware takes every OUT transfer whole (the
// USB connection accepted the bytes) but carries out only well-formed commands;
// it ignores, and counts in IgnoredCommands(), a transfer of another length, an
// unknown code, a write Length outside 1..32 and a read Length outside 1..65535.
// A host that sends such a command sees no reply, and its next read times out.
//
// Replies queue up in the IN endpoint in command order; each IN transfer takes
// up to the bytes asked for from the front of the queue, so a reply can be
// collected whole or in pieces. While more than MaxPendingReply bytes wait
// unread, a new command is refused with kErrTimedOut, as a stalled endpoint
// would refuse it.
//
// Ports: the eight bytes '1' sets and '2' answers (P0IO..P3IO, P0..P3) start
// as 0xFF after power-on, the reset state of the microcontroller's port
// latches. Unplugging powers the cable off: any reply still queued is lost,
// and the ports are back at their power-on values once it is plugged in.
class TCableEmulator {
public:
  static constexpr size_t MaxPendingReply = 1u << 20;
  static constexpr uint8_t PowerOnPortValue = 0xFF;

  explicit TCableEmulator(TCard& Card);

  // The firmware erases the block a 'W' starts when the write starts at the
  // block's first byte.
  static bool ErasesBlockAt(uint32_t Address);
  // What the firmware does for the OUT transfer Data (as Execute carries it
  // out), for the timing model; nothing for a transfer it would ignore.
  static TFirmwareWork WorkOf(const uint8_t* Data, size_t Count);

  // One bulk OUT transfer; returns the bytes taken, or -1 (LastError set).
  long BulkOut(const uint8_t* Data, size_t Count);
  // One bulk IN transfer of up to Count bytes; returns the bytes moved, or -1.
  // A read with no reply pending would block forever on the real cable; here
  // it fails at once with kErrTimedOut so a wrong flow cannot hang a test.
  long BulkIn(uint8_t* Data, size_t Count);
  // The error of the calling thread's last failed transfer (0 when none
  // failed), so threads sharing the cable do not see each other's errors.
  int LastError() const;
  bool ReplyPending() const;

  // Test controls.
  void Unplug();                    // every later transfer fails with kErrNoSuchDevice
  void Plug();
  bool Plugged() const;
  void UnplugAfter(long Transfers); // unplug once that many more transfers went through (< 0: cancel)
  void ShortReplyOnce(size_t Bytes);// the next reply carries only that many bytes
  void FlipReadBitOnce(uint32_t Offset, uint8_t Mask); // corrupt one byte of the next reply
  // An unstable contact: from now on every second flash or save-RAM read
  // answers with one bit flipped, at a place that moves from read to read.
  void FlipEverySecondRead(bool On);
  // The transfer log holds every transfer that moved bytes: an OUT transfer
  // with the bytes taken, an IN transfer with the bytes returned.
  void EnableLog(bool On);
  std::vector<TTransfer> TakeLog();

  const uint8_t* Ports() const;     // the eight port bytes set with '1'

  // Commands the firmware ignored because they were malformed.
  unsigned long IgnoredCommands() const;
  // Counts every plug-in and every removal; a transport opened before the
  // count last changed holds a handle to a device that has gone away.
  unsigned long DeviceChanges() const;

  TCard& Card();

private:
  bool BeginTransfer();             // false (error set) when the cable is not there
  void EndTransfer();
  void Fail(int Error);
  void DoUnplug();
  void Reply(const uint8_t* Data, size_t Count);
  bool Execute(const uint8_t* Data, size_t Count);

  TCard& FCard;
  mutable std::mutex FMutex;
  std::vector<uint8_t> FReply;      // queued reply bytes, FReplyHead onwards
  std::vector<uint8_t> FScratch;    // a read's bytes before they are queued
  size_t FReplyHead = 0;
  bool FPlugged = true;
  long FUnplugAfter = -1;
  bool FShortReply = false;
  size_t FShortReplyBytes = 0;
  bool FFlip = false;
  uint32_t FFlipOffset = 0;
  uint8_t FFlipMask = 0;
  bool FFlipAlternate = false;
  unsigned long FReadsSeen = 0;
  bool FLogOn = false;
  std::vector<TTransfer> FLog;
  uint8_t FPorts[8];
  unsigned long FIgnored = 0;
  std::atomic<unsigned long> FDeviceChanges{0};
  std::map<std::thread::id, int> FErrors;
};
