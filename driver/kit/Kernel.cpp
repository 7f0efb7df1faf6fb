// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatcher objects, IRQL, spin locks and pool of the user-mode kernel layer.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <cstring>

#include "driver/kit/KitState.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define KIT_POISON(Address, Bytes) ASAN_POISON_MEMORY_REGION((Address), (Bytes))
#define KIT_UNPOISON(Address, Bytes) ASAN_UNPOISON_MEMORY_REGION((Address), (Bytes))
#else
#define KIT_POISON(Address, Bytes) ((void)(Address), (void)(Bytes))
#define KIT_UNPOISON(Address, Bytes) ((void)(Address), (void)(Bytes))
#endif

TKitState::~TKitState() {
  for (auto& [Start, Region] : Freed) {
    KIT_UNPOISON(const_cast<uint8_t*>(Start), Region.Bytes);
    std::free(const_cast<uint8_t*>(Start));
  }
}

TKitState& KitState() {
  static TKitState State;
  return State;
}

namespace {
thread_local KIRQL CurrentIrql = PASSIVE_LEVEL;
// Spin locks this thread holds, the cancel spin lock included.
thread_local int HeldSpinLocks = 0;
// What a held spin lock holds: a number of the thread that took it, so that
// a second acquire by the same thread is told from a wait for another one.
std::atomic<KSPIN_LOCK> NextLockOwner{1};
thread_local KSPIN_LOCK LockOwner = 0;
KSPIN_LOCK OwnerToken() {
  if (LockOwner == 0) LockOwner = NextLockOwner++;
  return LockOwner;
}
// Freed memory is filled with this, so that a driver reading what it gave
// back finds garbage instead of its old data.
constexpr int FreedFill = 0xDD;
// How much freed memory is kept poisoned before it really goes back: enough
// for every block a test's requests give back while one is still in flight.
constexpr size_t FreedBytesKept = size_t(16) << 20;
constexpr size_t FreedBlocksKept = 4096;

// Poisons a freed block and keeps it (KitState().Mutex held). The oldest
// kept blocks go back to the C library once too much is kept. Under the
// address sanitizer the kept block is poisoned for it too, so a plain read
// of freed memory is still reported as such.
void KeepFreed(void* Block, size_t Bytes, bool SystemBuffer) {
  TKitState& State = KitState();
  std::memset(Block, FreedFill, Bytes);
  KIT_POISON(Block, Bytes);
  const uint8_t* Start = static_cast<const uint8_t*>(Block);
  State.Freed[Start] = {Bytes, SystemBuffer};
  State.FreedOrder.push_back(Start);
  State.FreedBytes += Bytes;
  while (State.FreedBytes > FreedBytesKept || State.FreedOrder.size() > FreedBlocksKept) {
    const uint8_t* Oldest = State.FreedOrder.front();
    State.FreedOrder.pop_front();
    auto Found = State.Freed.find(Oldest);
    State.FreedBytes -= Found->second.Bytes;
    KIT_UNPOISON(const_cast<uint8_t*>(Oldest), Found->second.Bytes);
    State.Freed.erase(Found);
    std::free(const_cast<uint8_t*>(Oldest));
  }
}

// The freed region [Address, Address + Bytes) overlaps, if any
// (KitState().Mutex held).
const TKitFreedRegion* FreedRegionAt(const void* Address, size_t Bytes) {
  if (Bytes == 0) return nullptr;
  TKitState& State = KitState();
  const uint8_t* Start = static_cast<const uint8_t*>(Address);
  auto After = State.Freed.upper_bound(Start + Bytes - 1);
  if (After == State.Freed.begin()) return nullptr;
  --After;
  return After->first + After->second.Bytes > Start ? &After->second : nullptr;
}

std::string FreedWhat(const TKitFreedRegion& Region) {
  return Region.SystemBuffer ? "the system buffer of a request already completed" : "pool already freed";
}

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
int KitInternal::SpinLocksHeld() { return HeldSpinLocks; }

extern "C" void NTAPI KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
  KitInternal::RequireIrql("KeInitializeEvent");
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
  KitInternal::RequireIrql("KeSetEvent");
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  if (!IsInitialisedEvent(Event)) TKit::Fault("KeSetEvent on an event that was never initialised");
  LONG Previous = Event->Header.SignalState;
  Event->Header.SignalState = 1;
  KitState().EventChanged.notify_all();
  return Previous;
}

extern "C" LONG NTAPI KeResetEvent(PRKEVENT Event) {
  KitInternal::RequireIrql("KeResetEvent");
  std::lock_guard<std::mutex> Lock(KitState().EventMutex);
  if (!IsInitialisedEvent(Event)) TKit::Fault("KeResetEvent on an event that was never initialised");
  LONG Previous = Event->Header.SignalState;
  Event->Header.SignalState = 0;
  return Previous;
}

extern "C" void NTAPI KeClearEvent(PRKEVENT Event) { KeResetEvent(Event); }

extern "C" LONG NTAPI KeReadStateEvent(PRKEVENT Event) {
  KitInternal::RequireIrql("KeReadStateEvent");
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

extern "C" void NTAPI KeInitializeSpinLock(PKSPIN_LOCK SpinLock) {
  KitInternal::RequireIrql("KeInitializeSpinLock");
  __atomic_store_n(SpinLock, 0, __ATOMIC_SEQ_CST);
}

namespace {
// A thread that takes a lock it already holds would spin for ever on a real
// machine; here it is recorded and the acquire returns.
void TakeLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql, const char* Routine) {
  KitInternal::RequireIrql(Routine);
  *OldIrql = CurrentIrql;
  CurrentIrql = DISPATCH_LEVEL;
  KSPIN_LOCK Me = OwnerToken();
  if (__atomic_load_n(SpinLock, __ATOMIC_ACQUIRE) == Me) {
    TKit::Fault(std::string(Routine) + " of a spin lock this thread already holds");
    return;
  }
  KSPIN_LOCK Free = 0;
  while (!__atomic_compare_exchange_n(SpinLock, &Free, Me, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) Free = 0;
  ++HeldSpinLocks;
}

void DropLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql, const char* Routine) {
  KitInternal::RequireIrql(Routine);
  KSPIN_LOCK Holder = __atomic_load_n(SpinLock, __ATOMIC_RELAXED);
  if (Holder == 0) {
    TKit::Fault(std::string(Routine) + " on a free lock");
  } else {
    if (Holder != OwnerToken()) TKit::Fault(std::string(Routine) + " of a lock another thread holds");
    __atomic_store_n(SpinLock, 0, __ATOMIC_RELEASE);
    --HeldSpinLocks;
  }
  if (NewIrql > CurrentIrql) TKit::Fault(std::string(Routine) + " raising the IRQL it restores");
  CurrentIrql = NewIrql;
}
}  // namespace

extern "C" void NTAPI KeAcquireSpinLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "KeAcquireSpinLock");
  TakeLock(SpinLock, OldIrql, "KeAcquireSpinLock");
}

extern "C" void NTAPI KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "KeReleaseSpinLock");
  DropLock(SpinLock, NewIrql, "KeReleaseSpinLock");
}

extern "C" void NTAPI IoAcquireCancelSpinLock(PKIRQL Irql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "IoAcquireCancelSpinLock");
  TakeLock(&KitState().CancelSpinLock, Irql, "IoAcquireCancelSpinLock");
}

extern "C" void NTAPI IoReleaseCancelSpinLock(KIRQL Irql) {
  CheckResidentCaller(__builtin_extract_return_addr(__builtin_return_address(0)), "IoReleaseCancelSpinLock");
  DropLock(&KitState().CancelSpinLock, Irql, "IoReleaseCancelSpinLock");
}

// ---- pool -------------------------------------------------------------------------
namespace {
PVOID AllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag, bool Tagged) {
  if (PoolType == PagedPool && CurrentIrql >= DISPATCH_LEVEL) TKit::Fault("paged pool allocated at DISPATCH_LEVEL");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  TKitState& State = KitState();
  if (State.PoolAllowance == 0) return nullptr;
  if (State.PoolAllowance > 0) --State.PoolAllowance;
  void* Block = std::malloc(NumberOfBytes ? NumberOfBytes : 1);
  if (Block == nullptr) return nullptr;
  // Fresh pool is not zeroed; a driver that relies on it must be caught.
  std::memset(Block, 0xCD, NumberOfBytes);
  State.Pool[Block] = {NumberOfBytes, PoolType, Tag, Tagged};
  return Block;
}

std::string TagText(ULONG Tag) {
  std::string Text = "'";
  for (int Byte = 0; Byte < 4; ++Byte) {
    char Char = char((Tag >> (8 * Byte)) & 0xFF);
    Text += (Char >= 0x20 && Char < 0x7F) ? Char : '?';
  }
  return Text + "'";
}

// Tagged: freed with ExFreePoolWithTag, whose tag must be the allocation's.
void FreePool(PVOID P, ULONG Tag, bool Tagged, const char* Routine) {
  KitInternal::RequireIrql(Routine);
  if (P == nullptr) {
    TKit::Fault(std::string(Routine) + " of a null pointer");
    return;
  }
  std::string Misuse;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    auto Found = State.Pool.find(P);
    if (Found == State.Pool.end()) {
      Misuse = std::string(Routine) + " of a block that is not allocated (freed twice?)";
    } else {
      TKitPoolBlock Block = Found->second;
      if (Block.Type == PagedPool && CurrentIrql > APC_LEVEL)
        Misuse = std::string("paged pool freed at IRQL ") + std::to_string(CurrentIrql);
      else if (Tagged && Tag != Block.Tag)
        Misuse = std::string(Routine) + " with the tag " + TagText(Tag) + " of a block allocated with " +
                 (Block.Tagged ? TagText(Block.Tag) : std::string("no tag"));
      State.Pool.erase(Found);
      State.Deliveries.erase(P);
      KeepFreed(P, Block.Bytes, false);
    }
  }
  if (!Misuse.empty()) TKit::Fault(Misuse);
}
}  // namespace

extern "C" PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
  KitInternal::RequireIrql("ExAllocatePoolWithTag");
  return AllocatePool(PoolType, NumberOfBytes, Tag, true);
}

extern "C" PVOID NTAPI ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes) {
  KitInternal::RequireIrql("ExAllocatePool");
  return AllocatePool(PoolType, NumberOfBytes, 0, false);
}

extern "C" void NTAPI ExFreePoolWithTag(PVOID P, ULONG Tag) { FreePool(P, Tag, true, "ExFreePoolWithTag"); }

extern "C" void NTAPI ExFreePool(PVOID P) { FreePool(P, 0, false, "ExFreePool"); }

PVOID KitInternal::AllocateSystemBuffer(SIZE_T Bytes) {
  void* Buffer = std::malloc(Bytes ? Bytes : 1);
  std::memset(Buffer, 0xCD, Bytes);
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().SystemBuffers[Buffer] = Bytes;
  return Buffer;
}

void KitInternal::FreeSystemBuffer(PVOID Buffer) {
  size_t Bytes;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    auto Found = KitState().SystemBuffers.find(Buffer);
    if (Found == KitState().SystemBuffers.end()) {
      KitState().Faults.push_back("a system buffer freed twice");
      return;
    }
    Bytes = Found->second;
    KitState().SystemBuffers.erase(Found);
    KeepFreed(Buffer, Bytes, true);
  }
}

void TKit::BeforeCopyFrom(const void* Block, std::function<void()> Hook) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  TKitState& State = KitState();
  auto Found = State.Pool.find(const_cast<void*>(Block));
  State.CopyWatchStart = static_cast<const uint8_t*>(Block);
  State.CopyWatchBytes = Found != State.Pool.end() ? Found->second.Bytes : 1;
  State.CopyWatch = std::move(Hook);
}

// ---- memory moves ------------------------------------------------------------------
// A move from or into freed memory is recorded and not carried out: what the
// driver gets instead is the poison it would have read.
extern "C" void NTAPI KitFillMemory(void* Destination, SIZE_T Length, int Fill) {
  std::string Misuse;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    if (const TKitFreedRegion* Region = FreedRegionAt(Destination, Length))
      Misuse = "RtlZeroMemory or RtlFillMemory writes into " + FreedWhat(*Region);
  }
  if (!Misuse.empty()) {
    TKit::Fault(Misuse);
    return;
  }
  std::memset(Destination, Fill, Length);
}

extern "C" void NTAPI KitCopyMemory(void* Destination, const void* Source, SIZE_T Length, BOOLEAN Overlapping) {
  const char* Routine = Overlapping ? "RtlMoveMemory" : "RtlCopyMemory";
  std::function<void()> Watch;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    const uint8_t* From = static_cast<const uint8_t*>(Source);
    if (State.CopyWatch && From >= State.CopyWatchStart && From < State.CopyWatchStart + State.CopyWatchBytes) {
      Watch = std::move(State.CopyWatch);
      State.CopyWatch = nullptr;
    }
  }
  if (Watch) Watch();

  std::string Misuse;
  bool ReadsFreed = false;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    if (const TKitFreedRegion* Region = FreedRegionAt(Destination, Length)) {
      Misuse = std::string(Routine) + " writes into " + FreedWhat(*Region);
    } else if (const TKitFreedRegion* Region = FreedRegionAt(Source, Length)) {
      Misuse = std::string(Routine) + " reads from " + FreedWhat(*Region);
      ReadsFreed = true;
    }
  }
  if (!Misuse.empty()) {
    TKit::Fault(Misuse);
    if (ReadsFreed) std::memset(Destination, FreedFill, Length);
    return;
  }
  if (Overlapping)
    std::memmove(Destination, Source, Length);
  else
    std::memcpy(Destination, Source, Length);
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
  KitInternal::RequireIrql("RtlInitUnicodeString");
  size_t Units = 0;
  if (SourceString != nullptr)
    while (SourceString[Units] != 0) ++Units;
  DestinationString->Buffer = const_cast<PWSTR>(SourceString);
  DestinationString->Length = static_cast<USHORT>(Units * sizeof(WCHAR));
  DestinationString->MaximumLength = static_cast<USHORT>(SourceString ? (Units + 1) * sizeof(WCHAR) : 0);
}

extern "C" void NTAPI RtlFreeUnicodeString(PUNICODE_STRING UnicodeString) {
  KitInternal::RequireIrql("RtlFreeUnicodeString");
  if (UnicodeString->Buffer != nullptr) ExFreePool(UnicodeString->Buffer);
  UnicodeString->Buffer = nullptr;
  UnicodeString->Length = UnicodeString->MaximumLength = 0;
}
