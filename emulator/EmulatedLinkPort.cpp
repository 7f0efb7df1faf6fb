#include "emulator/EmulatedLinkPort.h"

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

intptr_t TEmulatedLinkPort::Open(TFrontEnd& FrontEnd) {
  (void)FrontEnd;
  FOpen = false;
  if (!FCable->Plugged()) {
    FLastError = kErrNoSuchDevice;
    return -1;
  }
  FOpen = true;
  FOpenedOn = FCable->DeviceChanges();
  return FNextHandle++;
}

void TEmulatedLinkPort::Close() { FOpen = false; }

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

long TEmulatedLinkPort::Write(const uint8_t* Data, size_t Count) {
  if (!Usable()) return -1;
  long Moved = FCable->BulkOut(Data, Count);
  if (Moved < 0) FLastError = FCable->LastError();
  return Moved;
}

long TEmulatedLinkPort::Read(uint8_t* Data, size_t Count) {
  if (!Usable()) return -1;
  long Moved = FCable->BulkIn(Data, Count);
  if (Moved < 0) FLastError = FCable->LastError();
  return Moved;
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
