// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/EmulatedLinkPort.h"

#include "emulator/CardLock.h"

#include "core/link/PlatformErrors.h"

TEmulatedLinkPort::TEmulatedLinkPort(TCableEmulator& Cable)
    : FCable(&Cable), FSeenChanges(Cable.DeviceChanges()) {}

TEmulatedLinkPort::TEmulatedLinkPort(std::unique_ptr<TCard> Card)
    : FOwnedCard(std::move(Card)),
      FOwnedCable(std::make_unique<TCableEmulator>(*FOwnedCard)),
      FCable(FOwnedCable.get()),
      FSeenChanges(FCable->DeviceChanges()) {}

TEmulatedLinkPort::~TEmulatedLinkPort() = default;

void TEmulatedLinkPort::KeepLock(std::unique_ptr<TCardLock> Lock) { FLock = std::move(Lock); }

intptr_t TEmulatedLinkPort::Open() {
  FOpen = false;
  if (!FCable->Plugged()) {
    FLastError = kErrNoSuchDevice;
    return -1;
  }
  FOpen = true;
  FOpenedOn = FCable->DeviceChanges();
  return FNextHandle++;
}

void TEmulatedLinkPort::Close() {
  CancelAll();
  FOpen = false;
}

void TEmulatedLinkPort::EnableTiming(const TCableTimingFigures& Figures) {
  FTiming = std::make_unique<TCableTiming>(Figures);
}

// A closed port, or one opened before the cable last went away, reaches no
// device; the cable itself is not asked then.
bool TEmulatedLinkPort::Usable() {
  if (!FOpen) {
    FLastError = kErrNotOpen;
    return false;
  }
  if (FCable->DeviceChanges() != FOpenedOn) {
    FLastError = kErrNoSuchDevice;
    return false;
  }
  return true;
}

long TEmulatedLinkPort::Deliver(const uint8_t* Data, size_t Count, int& Error) {
  if (!Usable()) {
    Error = FLastError;
    return -1;
  }
  const long Moved = FCable->BulkOut(Data, Count);
  Error = Moved < 0 ? FCable->LastError() : 0;
  return Moved;
}

long TEmulatedLinkPort::Write(const uint8_t* Data, size_t Count) {
  if (!Usable()) return -1;
  if (FTiming) FTiming->WaitUntil(FTiming->StartOut(Count, TCableEmulator::WorkOf(Data, Count)));
  long Moved = FCable->BulkOut(Data, Count);
  if (Moved < 0) FLastError = FCable->LastError();
  return Moved;
}

long TEmulatedLinkPort::Read(uint8_t* Data, size_t Count) {
  if (!Usable()) return -1;
  if (FTiming) FTiming->WaitUntil(FTiming->StartIn(Count));
  long Moved = FCable->BulkIn(Data, Count);
  if (Moved < 0) FLastError = FCable->LastError();
  return Moved;
}

// A host controller queues far more; past this a caller gains nothing.
unsigned TEmulatedLinkPort::MaxInFlight() const { return 64; }

bool TEmulatedLinkPort::Start(const uint8_t* Data, size_t Count) {
  // A transfer is refused at its start only where a real one is: no handle,
  // or a handle to a cable that has gone.
  if (!Usable()) return false;
  TWriteInFlight Write;
  if (FTiming) Write.SeenAt = FTiming->StartOut(Count, TCableEmulator::WorkOf(Data, Count));
  // The cable takes it at once, as the bus would while the program goes
  // on; how it went is told only when its end is asked for.
  Write.Result = Deliver(Data, Count, Write.Error);
  FInFlight.push_back(Write);
  return true;
}

long TEmulatedLinkPort::FinishOldest() {
  if (FInFlight.empty()) {
    FLastError = kErrNotOpen;
    return -1;
  }
  const TWriteInFlight Write = FInFlight.front();
  if (FTiming) FTiming->WaitUntil(Write.SeenAt);
  const long Result = Write.Result;
  if (Result < 0) FLastError = Write.Error;
  FInFlight.pop_front();
  return Result;
}

void TEmulatedLinkPort::CancelAll() {
  // The cable has them already; what is dropped is only how they went. The
  // last error stays the error of the transfer that failed, if one did.
  FInFlight.clear();
}

int TEmulatedLinkPort::LastError() const { return FLastError; }

void TEmulatedLinkPort::SetDeviceChangeHandler(std::function<void()> Handler) {
  FHandler = std::move(Handler);
  FSeenChanges = FCable->DeviceChanges();
}

void TEmulatedLinkPort::PollDeviceEvents() {
  // The handler may reopen the port or plug the cable itself; changes it makes
  // are delivered at the next poll, so the loop always ends.
  unsigned long Now = FCable->DeviceChanges();
  while (FSeenChanges != Now) {
    ++FSeenChanges;
    if (FHandler) FHandler();
  }
}

std::string TEmulatedLinkPort::Describe() const {
  const std::string& Dir = FCable->Card().Dir();
  return Dir.empty() ? "emulated cable, card in memory" : "emulated cable, card in " + Dir;
}
