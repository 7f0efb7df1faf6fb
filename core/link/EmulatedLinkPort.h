// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/link/LinkPort.h"
#include "emulator/CableEmulator.h"

// The cable in software as a transport: every Write is one bulk OUT transfer
// of the emulated cable, every Read one bulk IN transfer.
//
// Like a handle to a real device, an open port belongs to the plug-in it was
// opened on: once the cable has been unplugged, the port's transfers fail with
// kErrNoSuchDevice, also after the cable is plugged in again, until the port
// is opened anew. Plugging and unplugging reach the device-change handler from
// PollDeviceEvents, once for each arrival or removal, on the caller's thread.
class TCardLock;

//
// Writes can be kept in flight, as on a host controller that queues them: a
// write started reaches the cable at once, in the order started, but how it
// went (bytes taken, or the error of a cable that has gone) is told only when
// its end is asked for (FinishOldest), as a real completion comes later.
//
// With a timing model the port keeps the cable's time on a virtual clock
// (SimulatedNanoseconds): each transfer as the model times it, the host
// waiting only where it waits for a transfer to end.
class TEmulatedLinkPort : public TLinkPort, private TAsyncWrites {
public:
  // Over a cable that the caller keeps alive for as long as the port.
  explicit TEmulatedLinkPort(TCableEmulator& Cable);
  // Over a card that the port owns, with a cable of its own on it.
  explicit TEmulatedLinkPort(std::unique_ptr<TCard> Card);
  ~TEmulatedLinkPort() override;

  intptr_t Open() override;
  void Close() override;
  long Write(const uint8_t* Data, size_t Count) override;
  long Read(uint8_t* Data, size_t Count) override;
  int LastError() const override;
  void SetDeviceChangeHandler(std::function<void()> Handler) override;
  void PollDeviceEvents() override;
  std::string Describe() const override;
  TAsyncWrites* AsyncWrites() override { return this; }
  int64_t SimulatedNanoseconds() const override { return FTiming ? FTiming->Now() : -1; }

  // Times every transfer from now on with these figures.
  void EnableTiming(const TCableTimingFigures& Figures = {});
  const TCableTiming* Timing() const { return FTiming.get(); }

  TCableEmulator& Cable() { return *FCable; }
  // Holds the card's lock until the port (and with it the card) is gone.
  void KeepLock(std::unique_ptr<TCardLock> Lock);
  bool IsOpen() const { return FOpen; }

private:
  // A write started and not yet finished.
  struct TWriteInFlight {
    int64_t SeenAt = 0;      // when the host sees it end (timing model)
    long Result = 0;
    int Error = 0;
  };

  unsigned MaxInFlight() const override;
  bool Start(const uint8_t* Data, size_t Count) override;
  long FinishOldest() override;
  void CancelAll() override;
  size_t InFlight() const override { return FInFlight.size(); }

  bool Usable();
  long Deliver(const uint8_t* Data, size_t Count, int& Error);

  std::unique_ptr<TCardLock> FLock;   // first, so it is released last
  std::unique_ptr<TCard> FOwnedCard;
  std::unique_ptr<TCableEmulator> FOwnedCable;
  TCableEmulator* FCable;
  bool FOpen = false;
  unsigned long FOpenedOn = 0;      // the cable's device-change count at Open
  unsigned long FSeenChanges = 0;   // device changes already handed to the handler
  intptr_t FNextHandle = 1;
  int FLastError = 0;
  std::function<void()> FHandler;
  std::deque<TWriteInFlight> FInFlight;
  std::unique_ptr<TCableTiming> FTiming;
};
