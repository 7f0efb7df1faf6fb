// SPDX-License-Identifier: GPL-3.0-or-later
#ifdef _WIN32
#include "core/link/WindowsLinkPort.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "driver/BridgewickPublic.h"
#include "core/link/PlatformErrors.h"

namespace {

using TSetupDiGetClassDevsA = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using TSetupDiEnumDeviceInterfaces = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                                   PSP_DEVICE_INTERFACE_DATA);
using TSetupDiGetDeviceInterfaceDetailA = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                                        PSP_DEVINFO_DATA);
using TSetupDiDestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO);

constexpr DWORD PresentInterfaces = 0x12;   // DIGCF_PRESENT | DIGCF_DEVICEINTERFACE
// A detail record is its cbSize field and a path of at least one character;
// anything beyond this bound is no device path either.
constexpr DWORD SmallestDetail = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + 1;
constexpr DWORD LargestDetail = 65536;

GUID ToGuid(const TLinkInterfaceGuid& Value) {
  GUID Guid;
  Guid.Data1 = Value.Data1;
  Guid.Data2 = Value.Data2;
  Guid.Data3 = Value.Data3;
  for (int I = 0; I < 8; ++I) Guid.Data4[I] = Value.Data4[I];
  return Guid;
}

// "Local\FlashquillCable-" and a hash of the device path, which may be
// longer than a mutex name and holds backslashes, which a name may not.
std::string CableLockName(const char* DevicePath) {
  uint64_t Hash = 14695981039346656037ull;   // FNV-1a, case folded as the system folds paths
  for (const char* C = DevicePath; *C; ++C) {
    char Folded = *C;
    if (Folded >= 'A' && Folded <= 'Z') Folded = static_cast<char>(Folded - 'A' + 'a');
    Hash = (Hash ^ static_cast<uint8_t>(Folded)) * 1099511628211ull;
  }
  char Name[64];
  std::snprintf(Name, sizeof Name, "Local\\FlashquillCable-%016llx", static_cast<unsigned long long>(Hash));
  return Name;
}

// Whether the driver under this program keeps several transfers of one
// handle in flight. The 64-bit driver does; the 32-bit one has one slot per
// device for short transfers and refuses a second while the first is busy,
// so on a 32-bit system every write goes alone.
bool DriverTakesWritesInFlight() {
  SYSTEM_INFO Info{};
  GetNativeSystemInfo(&Info);
  return Info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

// One overlapped transfer of the port's own: its event, its request block,
// and a copy of the data, which must outlive the call that started it.
struct TOverlappedTransfer {
  OVERLAPPED Request{};
  HANDLE Done = nullptr;
  std::vector<uint8_t> Data;
};

class TWindowsLinkPort final : public TLinkPort, private TAsyncWrites {
public:
  TWindowsLinkPort() {
    FSetupApi = LoadLibraryA("SetupApi.dll");
    if (!FSetupApi) return;
    FGetClassDevs = reinterpret_cast<TSetupDiGetClassDevsA>(
        reinterpret_cast<void*>(GetProcAddress(FSetupApi, "SetupDiGetClassDevsA")));
    FEnumInterfaces = reinterpret_cast<TSetupDiEnumDeviceInterfaces>(
        reinterpret_cast<void*>(GetProcAddress(FSetupApi, "SetupDiEnumDeviceInterfaces")));
    FGetDetail = reinterpret_cast<TSetupDiGetDeviceInterfaceDetailA>(
        reinterpret_cast<void*>(GetProcAddress(FSetupApi, "SetupDiGetDeviceInterfaceDetailA")));
    FDestroyList = reinterpret_cast<TSetupDiDestroyDeviceInfoList>(
        reinterpret_cast<void*>(GetProcAddress(FSetupApi, "SetupDiDestroyDeviceInfoList")));
  }

  ~TWindowsLinkPort() override {
    Close();
    for (TOverlappedTransfer& Slot : FSlots)
      if (Slot.Done) CloseHandle(Slot.Done);
    if (FSync.Done) CloseHandle(FSync.Done);
    if (FSetupApi) FreeLibrary(FSetupApi);
  }

  intptr_t Open() override {
    Close();
    FOpenFailureDetail.clear();
    const intptr_t Handle = OpenLink();
    if (Handle != -1) FHandle = reinterpret_cast<HANDLE>(Handle);
    return Handle;
  }

  void Close() override {
    ReleaseCableLock();
    if (FHandle == INVALID_HANDLE_VALUE) return;
    // No transfer of ours may end into buffers after the handle is gone.
    CancelAll();
    CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
  }

  // The handle is opened for overlapped I/O, so even a single transfer has
  // a request block; the call waits for it to end.
  long Write(const uint8_t* Data, size_t Count) override {
    if (!CheckOpen(Count)) return -1;
    // Writes still in flight stay: the driver sends in the order requests
    // come, so this one goes out after them.
    if (!ReadyEvent(FSync)) return -1;
    const BOOL Started = WriteFile(FHandle, Data, static_cast<DWORD>(Count), nullptr, &FSync.Request);
    return Await(FSync, Started);
  }

  long Read(uint8_t* Data, size_t Count) override {
    if (!CheckOpen(Count)) return -1;
    if (!ReadyEvent(FSync)) return -1;
    const BOOL Started = ReadFile(FHandle, Data, static_cast<DWORD>(Count), nullptr, &FSync.Request);
    return Await(FSync, Started);
  }

  int LastError() const override { return FLastError; }
  std::string OpenFailureDetail() const override { return FOpenFailureDetail; }

  TAsyncWrites* AsyncWrites() override { return FInFlightAllowed ? this : nullptr; }

  std::string Describe() const override { return "Bridgewick device interface"; }

private:
  // ---- writes in flight: a ring of overlapped writes, oldest at FHead ----
  unsigned MaxInFlight() const override { return MaxSlots; }

  bool Start(const uint8_t* Data, size_t Count) override {
    if (!CheckOpen(Count)) return false;
    if (FCount == MaxSlots) {
      FLastError = static_cast<int>(ERROR_BUSY);
      return false;
    }
    TOverlappedTransfer& Slot = FSlots[(FHead + FCount) % MaxSlots];
    if (!ReadyEvent(Slot)) return false;
    Slot.Data.assign(Data, Data + Count);
    const BOOL Started = WriteFile(FHandle, Slot.Data.data(), static_cast<DWORD>(Count), nullptr, &Slot.Request);
    if (!Started && GetLastError() != ERROR_IO_PENDING) {
      Failed();
      return false;
    }
    ++FCount;
    return true;
  }

  long FinishOldest() override {
    if (FCount == 0) {
      FLastError = static_cast<int>(ERROR_INVALID_FUNCTION);
      return -1;
    }
    TOverlappedTransfer& Slot = FSlots[FHead];
    FHead = (FHead + 1) % MaxSlots;
    --FCount;
    return Await(Slot, TRUE);
  }

  void CancelAll() override {
    if (FCount == 0) return;
    CancelIoEx(FHandle, nullptr);
    // Every one ends, completed or cancelled, before its buffer is reused.
    while (FCount != 0) {
      const int Kept = FLastError;
      FinishOldest();
      FLastError = Kept;
    }
  }

  size_t InFlight() const override { return FCount; }

  // A manual-reset event of the slot's own, reset, in a cleared request block.
  bool ReadyEvent(TOverlappedTransfer& Slot) {
    if (!Slot.Done) Slot.Done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!Slot.Done) {
      Failed();
      return false;
    }
    ResetEvent(Slot.Done);
    Slot.Request = OVERLAPPED{};
    Slot.Request.hEvent = Slot.Done;
    return true;
  }

  // The end of a transfer whose starting call returned Started (its error
  // still unread when FALSE): the bytes moved, or -1 with the error.
  long Await(TOverlappedTransfer& Slot, BOOL Started) {
    if (!Started && GetLastError() != ERROR_IO_PENDING) return Failed();
    DWORD Moved = 0;
    if (!GetOverlappedResult(FHandle, &Slot.Request, &Moved, TRUE)) return Failed();
    return static_cast<long>(Moved);
  }

  // Finds and opens the first present link interface; -1 when there is none.
  intptr_t OpenLink() {
    if (!FGetClassDevs || !FEnumInterfaces || !FGetDetail || !FDestroyList) {
      FLastError = static_cast<int>(ERROR_PROC_NOT_FOUND);
      return -1;
    }
    const GUID Guid = ToGuid(LinkInterfaceGuid);
    HDEVINFO Set = FGetClassDevs(&Guid, nullptr, nullptr, PresentInterfaces);
    if (Set == INVALID_HANDLE_VALUE) return Failed();

    SP_DEVICE_INTERFACE_DATA Interface{};
    Interface.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    if (!FEnumInterfaces(Set, nullptr, &Guid, 0, &Interface)) {
      Failed();
      FDestroyList(Set);
      return -1;
    }

    DWORD Required = 0;
    FGetDetail(Set, &Interface, nullptr, 0, &Required, nullptr);   // asks only for the size
    if (Required < SmallestDetail || Required > LargestDetail) {
      FLastError = static_cast<int>(ERROR_INVALID_DATA);
      FDestroyList(Set);
      return -1;
    }

    // DWORD storage keeps the record aligned; one spare zero byte ends the
    // path even if the system filled the buffer to its last byte.
    std::vector<DWORD> Buffer(Required / sizeof(DWORD) + 2, 0);
    auto* Detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(Buffer.data());
    Detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!FGetDetail(Set, &Interface, Detail, Required, &Required, nullptr)) {
      const DWORD Error = GetLastError();
      FLastError = static_cast<int>(Error);
      FOpenFailureDetail = std::to_string(Error) + "," + std::to_string(Required);
      FDestroyList(Set);
      return -1;
    }

    HANDLE File = CreateFileA(Detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (File == INVALID_HANDLE_VALUE) Failed();
    else if (!TakeCableLock(Detail->DevicePath)) {
      // Another program has this cable: two sets of packets interleaved on
      // one card would leave neither program's data there.
      CloseHandle(File);
      File = INVALID_HANDLE_VALUE;
      FLastError = kErrInUse;
    }
    FDestroyList(Set);
    return reinterpret_cast<intptr_t>(File);
  }

  // The handle is opened with sharing, so the lock is a named mutex of the
  // session, named after the device path: one per cable, held from Open to
  // Close, released by the system when the program ends in any way.
  bool TakeCableLock(const char* DevicePath) {
    ReleaseCableLock();
    const std::string Name = CableLockName(DevicePath);
    HANDLE Mutex = CreateMutexA(nullptr, FALSE, Name.c_str());
    if (!Mutex) return true;   // no lock to be had: as before, unlocked
    const DWORD Waited = WaitForSingleObject(Mutex, 0);
    if (Waited != WAIT_OBJECT_0 && Waited != WAIT_ABANDONED) {
      CloseHandle(Mutex);
      return false;
    }
    FLock = Mutex;
    return true;
  }

  void ReleaseCableLock() {
    if (!FLock) return;
    ReleaseMutex(FLock);
    CloseHandle(FLock);
    FLock = nullptr;
  }

  bool CheckOpen(size_t Count) {
    if (FHandle == INVALID_HANDLE_VALUE) {
      FLastError = kErrNotOpen;
      return false;
    }
    if (Count > MAXDWORD) {
      FLastError = static_cast<int>(ERROR_INVALID_PARAMETER);
      return false;
    }
    return true;
  }

  long Failed() {
    FLastError = static_cast<int>(GetLastError());
    return -1;
  }

  HMODULE FSetupApi = nullptr;
  TSetupDiGetClassDevsA FGetClassDevs = nullptr;
  TSetupDiEnumDeviceInterfaces FEnumInterfaces = nullptr;
  TSetupDiGetDeviceInterfaceDetailA FGetDetail = nullptr;
  TSetupDiDestroyDeviceInfoList FDestroyList = nullptr;
  HANDLE FHandle = INVALID_HANDLE_VALUE;
  HANDLE FLock = nullptr;
  int FLastError = 0;
  std::string FOpenFailureDetail;   // "error,size" of a failed device-detail query

  static constexpr unsigned MaxSlots = 64;
  const bool FInFlightAllowed = DriverTakesWritesInFlight();
  TOverlappedTransfer FSlots[MaxSlots];
  TOverlappedTransfer FSync;
  unsigned FHead = 0;
  unsigned FCount = 0;
};

}  // namespace

std::unique_ptr<TLinkPort> MakeWindowsLinkPort() { return std::make_unique<TWindowsLinkPort>(); }
#endif
