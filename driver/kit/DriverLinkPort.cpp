// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/DriverLinkPort.h"

#include <climits>

#include "driver/BridgewickCommon.h"
#include "driver/kit/IoManager.h"

namespace {

// Windows error numbers, as the system turns the driver's statuses into them.
constexpr int ErrorInvalidFunction = 1;
constexpr int ErrorFileNotFound = 2;
constexpr int ErrorInvalidHandle = 6;
constexpr int ErrorBadCommand = 22;
constexpr int ErrorGenFailure = 31;
constexpr int ErrorInvalidParameter = 87;
constexpr int ErrorBusy = 170;
constexpr int ErrorDeletePending = 303;
constexpr int ErrorNoSuchDevice = 433;
constexpr int ErrorOperationAborted = 995;
constexpr int ErrorIoDevice = 1117;
constexpr int ErrorDeviceNotConnected = 1167;
constexpr int ErrorNoSystemResources = 1450;

}  // namespace

int TDriverLinkPort::ErrorOf(int32_t Status) {
  switch (Status) {
    case STATUS_SUCCESS: return 0;
    case STATUS_INVALID_DEVICE_REQUEST: return ErrorInvalidFunction;
    case STATUS_OBJECT_NAME_NOT_FOUND: return ErrorFileNotFound;
    case STATUS_INVALID_DEVICE_STATE: return ErrorBadCommand;
    case STATUS_INVALID_PARAMETER: return ErrorInvalidParameter;
    case STATUS_DEVICE_BUSY: return ErrorBusy;
    case STATUS_DELETE_PENDING: return ErrorDeletePending;
    case STATUS_NO_SUCH_DEVICE: return ErrorNoSuchDevice;
    case STATUS_CANCELLED: return ErrorOperationAborted;
    case STATUS_IO_DEVICE_ERROR: return ErrorIoDevice;
    case STATUS_DEVICE_NOT_CONNECTED: return ErrorDeviceNotConnected;
    case STATUS_INSUFFICIENT_RESOURCES: return ErrorNoSystemResources;
    default: return ErrorGenFailure;
  }
}

TDriverLinkPort::~TDriverLinkPort() { Close(); }

intptr_t TDriverLinkPort::Open() {
  Close();
  // Only the first interface is looked at; a second cable is never opened.
  std::vector<std::u16string> Links = TIoManager::Interfaces(LinkInterfaceClass);
  if (Links.empty()) {
    FLastError = ErrorDeviceNotConnected;
    return -1;
  }
  NTSTATUS Status = TIoManager::Open(Links.front(), &FFile);
  if (!NT_SUCCESS(Status)) {
    FFile = nullptr;
    FLastError = ErrorOf(Status);
    return -1;
  }
  return reinterpret_cast<intptr_t>(FFile);
}

void TDriverLinkPort::Close() {
  if (FFile == nullptr) return;
  TIoManager::Close(FFile);
  FFile = nullptr;
}

// Both directions check the handle and the count the same way and turn a
// failed request into the platform's error number; only the request differs.
template <typename TRequest>
long TDriverLinkPort::Transfer(size_t Count, TRequest Request) {
  if (FFile == nullptr) {
    FLastError = ErrorInvalidHandle;
    return -1;
  }
  if (Count > LONG_MAX) {
    FLastError = ErrorInvalidParameter;
    return -1;
  }
  ULONG_PTR Moved = 0;
  NTSTATUS Status = Request(static_cast<ULONG>(Count), &Moved);
  if (!NT_SUCCESS(Status)) {
    FLastError = ErrorOf(Status);
    return -1;
  }
  return static_cast<long>(Moved);
}

long TDriverLinkPort::Write(const uint8_t* Data, size_t Count) {
  return Transfer(Count, [&](ULONG Length, ULONG_PTR* Moved) { return TIoManager::Write(FFile, Data, Length, Moved); });
}

long TDriverLinkPort::Read(uint8_t* Data, size_t Count) {
  return Transfer(Count, [&](ULONG Length, ULONG_PTR* Moved) { return TIoManager::Read(FFile, Data, Length, Moved); });
}

std::string TDriverLinkPort::Describe() const { return "Bridgewick on the user-mode kernel layer"; }
