// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatcher objects, IRQL, spin locks and pool of the user-mode kernel layer.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <cstring>

#include "driver/kit/KitState.h"

TKitState& KitState() {
  static TKitState State;
  return State;
}

namespace {
thread_local KIRQL CurrentIrql = PASSIVE_LEVEL;

bool IsInitialisedEvent(PRKEVENT Event) { return Event->Header.Size == sizeof(KEVENT) / sizeof(LONG); }
}  // namespace

// ---- faults and queries ------------------------------------------------------
void TKit::Fault(const std::string& What) {
  std::fprintf(stderr, "kernel layer: %s\n", What.c_str());
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Faults.push_back(What);
}

std::vector<std::string> TKit::Faults() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Faults;
}

void TKit::ClearFaults() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Faults.clear();
}

size_t TKit::PoolBlocksInUse() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Pool.size();
}

size_t TKit::IrpsInUse() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Irps.size();
}

size_t TKit::DevicesInUse() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Devices.size();
}

void TKit::FailPoolAfter(long Allocations) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().PoolAllowance = Allocations;
}

void TKit::FailIrpAllocations(bool Fail) { FailIrpsAfter(Fail ? 0 : -1); }

void TKit::FailIrpsAfter(long Allocations) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().IrpAllowance = Allocations;
}

void TKit::FailCreateDevice(NTSTATUS Status) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().CreateDeviceFailure = Status;
}

void TKit::FailRegisterInterface(NTSTATUS Status) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().RegisterInterfaceFailure = Status;
}

int TKit::Waiters(const void* Object) {
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  auto Found = KitState().Waiters.find(Object);
  return Found == KitState().Waiters.end() ? 0 : Found->second;
}

long TKit::PowerIrpsStarted() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().PowerStarted;
}

long TKit::PowerIrpsRequested() {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().PowerRequested;
}

void TKit::FailPowerRequests(NTSTATUS Status) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().PowerRequestFailure = Status;
}

void TKit::WaitForPowerRequests() {
  for (;;) {
    std::vector<std::thread> Workers;
    {
      std::lock_guard<std::mutex> Lock(KitState().Mutex);
      Workers.swap(KitState().PowerWorkers);
    }
    if (Workers.empty()) return;
    for (std::thread& Worker : Workers) Worker.join();
  }
}

// ---- IRQL --------------------------------------------------------------------
extern "C" KIRQL NTAPI KeGetCurrentIrql(void) { return CurrentIrql; }

KitInternal::TIrqlScope::TIrqlScope(KIRQL Level) : FOld(CurrentIrql) {
  if (Level < CurrentIrql) TKit::Fault("IRQL lowered below the current level");
  CurrentIrql = Level;
}

KitInternal::TIrqlScope::~TIrqlScope() { CurrentIrql = FOld; }

extern "C" void NTAPI KitCheckPageable(const char* Routine) {
  if (CurrentIrql > APC_LEVEL)
    TKit::Fault(std::string("pageable routine ") + Routine + " ran at IRQL " + std::to_string(CurrentIrql));
}

// ---- events --------------------------------------------------------------------
extern "C" void NTAPI KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  Event->Header.Type = static_cast<UCHAR>(Type);
  Event->Header.Absolute = 0;
  Event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
  Event->Header.Inserted = 0;
  Event->Header.SignalState = State ? 1 : 0;
  Event->Header.WaitListHead.Flink = Event->Header.WaitListHead.Blink = &Event->Header.WaitListHead;
}

extern "C" LONG NTAPI KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait) {
  (void)Increment;
  if (Wait) TKit::Fault("KeSetEvent with Wait TRUE is not supported by the layer");
  if (CurrentIrql > DISPATCH_LEVEL) TKit::Fault("KeSetEvent above DISPATCH_LEVEL");
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  if (!IsInitialisedEvent(Event)) TKit::Fault("KeSetEvent on an event that was never initialised");
  LONG Previous = Event->Header.SignalState;
  Event->Header.SignalState = 1;
  KitState().EventChanged.notify_all();
  return Previous;
}

extern "C" LONG NTAPI KeResetEvent(PRKEVENT Event) {
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  if (!IsInitialisedEvent(Event)) TKit::Fault("KeResetEvent on an event that was never initialised");
  LONG Previous = Event->Header.SignalState;
  Event->Header.SignalState = 0;
  return Previous;
}

extern "C" void NTAPI KeClearEvent(PRKEVENT Event) { KeResetEvent(Event); }

extern "C" LONG NTAPI KeReadStateEvent(PRKEVENT Event) {
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  return Event->Header.SignalState;
}

extern "C" NTSTATUS NTAPI KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                                                BOOLEAN Alertable, PLARGE_INTEGER Timeout) {
  (void)WaitReason;
  (void)WaitMode;
  (void)Alertable;
  bool Polling = Timeout != nullptr && Timeout->QuadPart == 0;
  if (CurrentIrql >= DISPATCH_LEVEL && !Polling) TKit::Fault("a wait at DISPATCH_LEVEL or above");
  PRKEVENT Event = static_cast<PRKEVENT>(Object);
  std::unique_lock<std::mutex> Lock(KitState().EventMutex);
  if (!IsInitialisedEvent(Event)) {
    Lock.unlock();
    TKit::Fault("a wait on an event that was never initialised");
    return STATUS_INVALID_PARAMETER;
  }
  auto Signalled = [Event] { return Event->Header.SignalState != 0; };
  bool Got;
  ++KitState().Waiters[Event];
  if (Timeout == nullptr) {
    KitState().EventChanged.wait(Lock, Signalled);
    Got = true;
  } else {
    // Relative times are negative, in units of 100 ns; absolute times are
    // taken as relative, which no caller here relies on.
    LONGLONG Units = Timeout->QuadPart < 0 ? -Timeout->QuadPart : Timeout->QuadPart;
    Got = KitState().EventChanged.wait_for(Lock, std::chrono::microseconds(Units / 10), Signalled);
  }
  if (--KitState().Waiters[Event] == 0) KitState().Waiters.erase(Event);
  if (Got && Event->Header.Type == SynchronizationEvent) Event->Header.SignalState = 0;
  return Got ? STATUS_SUCCESS : STATUS_TIMEOUT;
}

// ---- spin locks -----------------------------------------------------------------
// The linker brackets the driver's pageable code (its PAGE section) with
// these; a program without such code leaves them null.
extern "C" {
extern const char __start_PAGE[] __attribute__((weak));
extern const char __stop_PAGE[] __attribute__((weak));
}

namespace {
// The code a spin-lock call returns to runs at DISPATCH_LEVEL (after the
// acquire) or ran there (before the release); on Windows it must not be
// pageable, as a page fault at that level stops the machine.
void CheckResidentCaller(const void* ReturnAddress, const char* Routine) {
  const char* Code = static_cast<const char*>(ReturnAddress);
  if (__start_PAGE == nullptr || Code < __start_PAGE || Code >= __stop_PAGE) return;
  char Where[32];
  std::snprintf(Where, sizeof Where, "%p", ReturnAddress);
  TKit::Fault(std::string(Routine) + " called from pageable code (returns to " + Where + ")");
}
}  // namespace

extern "C" void NTAPI KeInitializeSpinLock(PKSPIN_LOCK SpinLock) { __atomic_store_n(SpinLock, 0, __ATOMIC_SEQ_CST); }

extern "C" void NTAPI KeAcquireSpinLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "KeAcquireSpinLock");
  if (CurrentIrql > DISPATCH_LEVEL) TKit::Fault("KeAcquireSpinLock above DISPATCH_LEVEL");
  *OldIrql = CurrentIrql;
  CurrentIrql = DISPATCH_LEVEL;
  while (__atomic_exchange_n(SpinLock, 1, __ATOMIC_ACQUIRE) != 0) {
  }
}

extern "C" void NTAPI KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "KeReleaseSpinLock");
  if (__atomic_load_n(SpinLock, __ATOMIC_RELAXED) == 0) TKit::Fault("KeReleaseSpinLock on a free lock");
  __atomic_store_n(SpinLock, 0, __ATOMIC_RELEASE);
  CurrentIrql = NewIrql;
}

// ---- pool -------------------------------------------------------------------------
extern "C" PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
  (void)Tag;
  if (PoolType == PagedPool && CurrentIrql >= DISPATCH_LEVEL) TKit::Fault("paged pool allocated at DISPATCH_LEVEL");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  TKitState& State = KitState();
  if (State.PoolAllowance == 0) return nullptr;
  if (State.PoolAllowance > 0) --State.PoolAllowance;
  void* Block = std::malloc(NumberOfBytes ? NumberOfBytes : 1);
  if (Block == nullptr) return nullptr;
  // Fresh pool is not zeroed; a driver that relies on it must be caught.
  std::memset(Block, 0xCD, NumberOfBytes);
  State.Pool[Block] = {NumberOfBytes, PoolType};
  return Block;
}

extern "C" PVOID NTAPI ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes) {
  return ExAllocatePoolWithTag(PoolType, NumberOfBytes, 0);
}

extern "C" void NTAPI ExFreePoolWithTag(PVOID P, ULONG Tag) {
  (void)Tag;
  if (P == nullptr) {
    TKit::Fault("ExFreePool of a null pointer");
    return;
  }
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    auto Found = State.Pool.find(P);
    if (Found != State.Pool.end()) {
      State.Pool.erase(Found);
      State.Deliveries.erase(P);
      std::free(P);
      return;
    }
  }
  TKit::Fault("ExFreePool of a block that is not allocated (freed twice?)");
}

extern "C" void NTAPI ExFreePool(PVOID P) { ExFreePoolWithTag(P, 0); }

PVOID KitInternal::AllocateSystemBuffer(SIZE_T Bytes) {
  void* Buffer = std::malloc(Bytes ? Bytes : 1);
  std::memset(Buffer, 0xCD, Bytes);
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().SystemBuffers.insert(Buffer);
  return Buffer;
}

void KitInternal::FreeSystemBuffer(PVOID Buffer) {
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    if (KitState().SystemBuffers.erase(Buffer) == 0) {
      KitState().Faults.push_back("a system buffer freed twice");
      return;
    }
  }
  std::free(Buffer);
}

void KitInternal::RecordDescriptorDelivery(const void* Buffer, ULONG Bytes) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Deliveries[Buffer] = Bytes;
}

void KitInternal::ForgetDescriptorDelivery(const void* Buffer) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Deliveries.erase(Buffer);
}

bool KitInternal::DeliveredBytes(const void* Buffer, ULONG* Bytes) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  auto Found = KitState().Deliveries.find(Buffer);
  if (Found == KitState().Deliveries.end()) return false;
  *Bytes = Found->second;
  return true;
}

// ---- strings ---------------------------------------------------------------------
extern "C" void NTAPI RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString) {
  size_t Units = 0;
  if (SourceString != nullptr)
    while (SourceString[Units] != 0) ++Units;
  DestinationString->Buffer = const_cast<PWSTR>(SourceString);
  DestinationString->Length = static_cast<USHORT>(Units * sizeof(WCHAR));
  DestinationString->MaximumLength = static_cast<USHORT>(SourceString ? (Units + 1) * sizeof(WCHAR) : 0);
}

extern "C" void NTAPI RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
  if (UnicodeString->Buffer != nullptr) ExFreePool(UnicodeString->Buffer);
  UnicodeString->Buffer = nullptr;
  UnicodeString->Length = UnicodeString->MaximumLength = 0;
}
