// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel layer's own safety net: the misuses the driver tests rely on it
// to catch must really be caught, or a clean run would prove nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "driver/kit/Kit.h"
#include "driver/kit/UsbBus.h"
#include <usbdlib.h>

namespace {

// Pageable driver code, as the driver marks it; it goes on after the call
// (no tail call), as code holding a lock does.
__attribute__((section("PAGE"), noinline)) void PagedAcquire(PKSPIN_LOCK Lock, PKIRQL Old) {
  KeAcquireSpinLock(Lock, Old);
  __asm__ volatile("" ::: "memory");
}

// A device of a driver whose every dispatch routine is the one given.
struct TFakeDevice {
  explicit TFakeDevice(PDRIVER_DISPATCH Dispatch) {
    Driver = static_cast<PDRIVER_OBJECT>(std::calloc(1, sizeof(DRIVER_OBJECT)));
    for (auto& Routine : Driver->MajorFunction) Routine = Dispatch;
    IoCreateDevice(Driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &Device);
    Device->Flags &= ~DO_DEVICE_INITIALIZING;
  }
  ~TFakeDevice() {
    IoDeleteDevice(Device);
    std::free(Driver);
  }
  // Sends a read down to the device and waits for it.
  NTSTATUS Read() {
    KEVENT Done;
    IO_STATUS_BLOCK IoStatus;
    KeInitializeEvent(&Done, NotificationEvent, FALSE);
    PIRP Irp = KitInternal::AllocateThreadedIrp(Device->StackSize, &IoStatus, &Done, 0);
    IoGetNextIrpStackLocation(Irp)->MajorFunction = IRP_MJ_READ;
    NTSTATUS Status = IofCallDriver(Device, Irp);
    if (Held != nullptr) {
      Held->IoStatus.Status = STATUS_SUCCESS;
      IofCompleteRequest(std::exchange(Held, nullptr), IO_NO_INCREMENT);
    }
    KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, nullptr);
    return Status;
  }
  PDRIVER_OBJECT Driver = nullptr;
  PDEVICE_OBJECT Device = nullptr;
  static inline PIRP Held = nullptr;   // a request a routine left pending
};

NTSTATUS NTAPI PendWithoutMark(PDEVICE_OBJECT, PIRP Irp) {
  TFakeDevice::Held = Irp;
  return STATUS_PENDING;
}

NTSTATUS NTAPI MarkAndComplete(PDEVICE_OBJECT, PIRP Irp) {
  IoMarkIrpPending(Irp);
  Irp->IoStatus.Status = STATUS_SUCCESS;
  IofCompleteRequest(Irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI MarkAndPend(PDEVICE_OBJECT, PIRP Irp) {
  IoMarkIrpPending(Irp);
  TFakeDevice::Held = Irp;
  return STATUS_PENDING;
}

NTSTATUS NTAPI CompleteAtOnce(PDEVICE_OBJECT, PIRP Irp) {
  Irp->IoStatus.Status = STATUS_SUCCESS;
  IofCompleteRequest(Irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

TEST(KitTest, KernelMisusesAreReported) {
  struct TCase {
    const char* What;
    std::function<void()> Misuse;
    const char* Reported;
  };
  const TCase Cases[] = {
      {"a block freed twice",
       [] {
         PVOID Block = ExAllocatePool(NonPagedPool, 16);
         ExFreePool(Block);
         ExFreePool(Block);
       },
       "freed twice"},
      {"a wait at DISPATCH_LEVEL",
       [] {
         KEVENT Event;
         KeInitializeEvent(&Event, NotificationEvent, FALSE);
         LARGE_INTEGER Timeout;
         Timeout.QuadPart = -10;
         KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
         KeWaitForSingleObject(&Event, Executive, KernelMode, FALSE, &Timeout);
       },
       "DISPATCH_LEVEL"},
      {"pageable code at DISPATCH_LEVEL",
       [] {
         KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
         PAGED_CODE();
       },
       "pageable routine"},
      {"a wait on an event never initialised",
       [] {
         KEVENT Event{};
         LARGE_INTEGER Timeout;
         Timeout.QuadPart = 0;
         KeWaitForSingleObject(&Event, Executive, KernelMode, FALSE, &Timeout);
       },
       "never initialised"},
      {"a request completed twice",
       [] {
         KEVENT Event;
         IO_STATUS_BLOCK IoStatus;
         KeInitializeEvent(&Event, NotificationEvent, FALSE);
         PIRP Irp = KitInternal::AllocateThreadedIrp(1, &IoStatus, &Event, 0);
         IoSetNextIrpStackLocation(Irp);
         Irp->IoStatus.Status = STATUS_SUCCESS;
         IofCompleteRequest(Irp, IO_NO_INCREMENT);
         IofCompleteRequest(Irp, IO_NO_INCREMENT);
       },
       "completed twice"},
      {"a descriptor parsed past the bytes received",
       [] {
         std::vector<uint8_t> Bytes = TUsbBus::CableConfiguration();
         KitInternal::RecordDescriptorDelivery(Bytes.data(), 9);
         USBD_ParseConfigurationDescriptorEx(reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(Bytes.data()), Bytes.data(),
                                             -1, -1, -1, -1, -1);
         KitInternal::ForgetDescriptorDelivery(Bytes.data());
       },
       "only 9 were received"},
      {"a spin lock taken in pageable code",
       [] {
         KSPIN_LOCK Lock;
         KIRQL Old;
         KeInitializeSpinLock(&Lock);
         PagedAcquire(&Lock, &Old);
         KeReleaseSpinLock(&Lock, Old);
       },
       "KeAcquireSpinLock called from pageable code"},
      {"STATUS_PENDING for a request not marked pending",
       [] { TFakeDevice(PendWithoutMark).Read(); },
       "returned STATUS_PENDING for a request it did not mark pending"},
      {"a request marked pending but completed with another status",
       [] { TFakeDevice(MarkAndComplete).Read(); },
       "marked a request pending but returned 0x00000000"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TKit::ClearFaults();
    Case.Misuse();
    auto Faults = TKit::Faults();
    ASSERT_EQ(Faults.size(), 1u);
    EXPECT_NE(Faults[0].find(Case.Reported), std::string::npos) << Faults[0];
  }
  TKit::ClearFaults();
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
  EXPECT_EQ(TKit::IrpsInUse(), 0u);
}

// Routines of a deliberately wrong driver, one misuse each.
KSPIN_LOCK WrongLock;

NTSTATUS NTAPI ReturnWithLockHeld(PDEVICE_OBJECT, PIRP Irp) {
  KIRQL Old;
  KeAcquireSpinLock(&WrongLock, &Old);
  return CompleteAtOnce(nullptr, Irp);
}

void NTAPI CancelKeepingTheCancelLock(PDEVICE_OBJECT, PIRP) {}

NTSTATUS NTAPI CompleteWithCancelRoutineSet(PDEVICE_OBJECT, PIRP Irp) {
  IoSetCancelRoutine(Irp, CancelKeepingTheCancelLock);
  return CompleteAtOnce(nullptr, Irp);
}

NTSTATUS NTAPI KeepAtTop(PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }

// A request of the driver's own, one location deep, that stops at its
// completion routine.
PIRP OwnRequest() {
  PIRP Irp = IoAllocateIrp(2, FALSE);
  IoSetCompletionRoutine(Irp, KeepAtTop, nullptr, TRUE, TRUE, TRUE);
  IoSetNextIrpStackLocation(Irp);
  Irp->IoStatus.Status = STATUS_SUCCESS;
  return Irp;
}

TEST(KitTest, WrongIrqlsLocksAndPoolUseOfADriverAreReported) {
  struct TCase {
    const char* What;
    std::function<void()> Misuse;
    const char* Reported;
  };
  const TCase Cases[] = {
      {"a device control request built at DISPATCH_LEVEL",
       [] {
         TFakeDevice Device(CompleteAtOnce);
         KEVENT Event;
         IO_STATUS_BLOCK IoStatus;
         KeInitializeEvent(&Event, NotificationEvent, FALSE);
         PIRP Irp;
         {
           KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
           Irp = IoBuildDeviceIoControlRequest(0x220003, Device.Device, nullptr, 0, nullptr, 0, TRUE, &Event, &IoStatus);
         }
         IoFreeIrp(Irp);
       },
       "IoBuildDeviceIoControlRequest called at IRQL 2"},
      {"a device deleted at DISPATCH_LEVEL",
       [] {
         PDRIVER_OBJECT Driver = static_cast<PDRIVER_OBJECT>(std::calloc(1, sizeof(DRIVER_OBJECT)));
         PDEVICE_OBJECT Device = nullptr;
         IoCreateDevice(Driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &Device);
         {
           KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
           IoDeleteDevice(Device);
         }
         std::free(Driver);
       },
       "IoDeleteDevice called at IRQL 2"},
      {"a request completed above DISPATCH_LEVEL",
       [] {
         PIRP Irp = OwnRequest();
         {
           KitInternal::TIrqlScope Device(5);
           IofCompleteRequest(Irp, IO_NO_INCREMENT);
         }
         IoFreeIrp(Irp);
       },
       "IofCompleteRequest called at IRQL 5"},
      {"nonpaged pool allocated above DISPATCH_LEVEL",
       [] {
         PVOID Block;
         {
           KitInternal::TIrqlScope Device(5);
           Block = ExAllocatePool(NonPagedPool, 8);
         }
         ExFreePool(Block);
       },
       "ExAllocatePool called at IRQL 5"},
      {"paged pool freed at DISPATCH_LEVEL",
       [] {
         PVOID Block = ExAllocatePool(PagedPool, 8);
         KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
         ExFreePool(Block);
       },
       "paged pool freed at IRQL 2"},
      {"a block freed with another tag",
       [] { ExFreePoolWithTag(ExAllocatePoolWithTag(NonPagedPool, 8, 0x206D6457), 0x20206B42); },
       "with the tag 'Bk  ' of a block allocated with 'Wdm '"},
      {"a dispatch routine that returns with a spin lock held",
       [] {
         KeInitializeSpinLock(&WrongLock);
         TFakeDevice Device(ReturnWithLockHeld);
         KEVENT Done;
         IO_STATUS_BLOCK IoStatus;
         KeInitializeEvent(&Done, NotificationEvent, FALSE);
         PIRP Irp = KitInternal::AllocateThreadedIrp(Device.Device->StackSize, &IoStatus, &Done, 0);
         IoGetNextIrpStackLocation(Irp)->MajorFunction = IRP_MJ_READ;
         IofCallDriver(Device.Device, Irp);
         KeReleaseSpinLock(&WrongLock, PASSIVE_LEVEL);
       },
       "returned with a spin lock held"},
      {"a spin lock taken twice by one thread",
       [] {
         KSPIN_LOCK Lock;
         KIRQL Old, Again;
         KeInitializeSpinLock(&Lock);
         KeAcquireSpinLock(&Lock, &Old);
         KeAcquireSpinLock(&Lock, &Again);
         KeReleaseSpinLock(&Lock, Old);
       },
       "of a spin lock this thread already holds"},
      {"a cancel routine that keeps the cancel spin lock",
       [] {
         PIRP Irp = OwnRequest();
         IoSetCancelRoutine(Irp, CancelKeepingTheCancelLock);
         IoCancelIrp(Irp);
         IoReleaseCancelSpinLock(Irp->CancelIrql);
         IofCompleteRequest(Irp, IO_NO_INCREMENT);
         IoFreeIrp(Irp);
       },
       "a cancel routine returned without releasing the cancel spin lock"},
      {"a request completed with its cancel routine still set",
       [] { TFakeDevice(CompleteWithCancelRoutineSet).Read(); },
       "completed with its cancel routine still set"},
      {"a copy out of a block already freed",
       [] {
         PVOID Block = ExAllocatePool(NonPagedPool, 16);
         RtlFillMemory(Block, 16, 0x5A);
         ExFreePool(Block);
         uint8_t Copy[16];
         RtlCopyMemory(Copy, Block, sizeof Copy);
         // What it got is the poison, not the old contents.
         EXPECT_EQ(Copy[0], 0xDD);
         EXPECT_EQ(Copy[15], 0xDD);
       },
       "RtlCopyMemory reads from pool already freed"},
      {"a block cleared after it was freed",
       [] {
         PVOID Block = ExAllocatePoolWithTag(NonPagedPool, 24, 0x206D6457);
         ExFreePoolWithTag(Block, 0x206D6457);
         RtlZeroMemory(static_cast<uint8_t*>(Block) + 8, 8);
       },
       "RtlZeroMemory or RtlFillMemory writes into pool already freed"},
      {"a reply copied into the system buffer of a completed request",
       [] {
         PVOID Buffer = KitInternal::AllocateSystemBuffer(64);
         KitInternal::FreeSystemBuffer(Buffer);
         const uint8_t Reply[4] = {1, 2, 3, 4};
         RtlMoveMemory(Buffer, Reply, sizeof Reply);
       },
       "RtlMoveMemory writes into the system buffer of a request already completed"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TKit::ClearFaults();
    Case.Misuse();
    auto Faults = TKit::Faults();
    ASSERT_EQ(Faults.size(), 1u) << (Faults.empty() ? "" : Faults[0] + " / " + Faults.back());
    EXPECT_NE(Faults[0].find(Case.Reported), std::string::npos) << Faults[0];
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_EQ(KitInternal::SpinLocksHeld(), 0);
  }
  TKit::ClearFaults();
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
  EXPECT_EQ(TKit::IrpsInUse(), 0u);
}

// What a cancel routine finds, as Windows calls it: DISPATCH_LEVEL, the
// cancel spin lock held, the caller's IRQL in the request.
struct TCancelSeen {
  KIRQL Irql = PASSIVE_LEVEL;
  int Locks = 0;
  KIRQL CancelIrql = HIGH_LEVEL_FOR_TEST;
  static constexpr KIRQL HIGH_LEVEL_FOR_TEST = 31;
} CancelSeen;

void NTAPI RecordAndRelease(PDEVICE_OBJECT, PIRP Irp) {
  CancelSeen.Irql = KeGetCurrentIrql();
  CancelSeen.Locks = KitInternal::SpinLocksHeld();
  CancelSeen.CancelIrql = Irp->CancelIrql;
  IoReleaseCancelSpinLock(Irp->CancelIrql);
}

TEST(KitTest, ACancelRoutineRunsAtDispatchLevelHoldingTheCancelSpinLock) {
  TKit::ClearFaults();
  PIRP Irp = OwnRequest();
  EXPECT_FALSE(IoCancelIrp(Irp)) << "no cancel routine yet";
  IoSetCancelRoutine(Irp, RecordAndRelease);
  EXPECT_TRUE(IoCancelIrp(Irp));
  EXPECT_EQ(CancelSeen.Irql, DISPATCH_LEVEL);
  EXPECT_EQ(CancelSeen.Locks, 1);
  EXPECT_EQ(CancelSeen.CancelIrql, PASSIVE_LEVEL);
  EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
  EXPECT_TRUE(Irp->Cancel);
  IofCompleteRequest(Irp, IO_NO_INCREMENT);
  IoFreeIrp(Irp);
  EXPECT_EQ(TKit::Faults(), std::vector<std::string>{});
}

TEST(KitTest, PendingAndCompletionAsWindowsExpectsThemAreNoMisuse) {
  TKit::ClearFaults();
  for (PDRIVER_DISPATCH Dispatch : {MarkAndPend, CompleteAtOnce}) {
    TFakeDevice Device(Dispatch);
    Device.Read();
  }
  EXPECT_EQ(TKit::Faults(), std::vector<std::string>{});
  EXPECT_EQ(TKit::IrpsInUse(), 0u);
}

// A power request a driver asks for is carried out later: the call returns
// pending before the request has reached the stack, and the callback runs on
// another thread at DISPATCH_LEVEL.
std::atomic<bool> PowerGate{false};
std::atomic<bool> PowerDispatched{false};

NTSTATUS NTAPI PowerWhenLetThrough(PDEVICE_OBJECT, PIRP Irp) {
  while (!PowerGate) std::this_thread::yield();
  PowerDispatched = true;
  return CompleteAtOnce(nullptr, Irp);
}

TEST(KitTest, PowerRequestsReturnPendingAndCallBackLaterOnAnotherThread) {
  TKit::ClearFaults();
  struct TSeen {
    std::atomic<bool> Called{false};
    std::thread::id Thread;
    KIRQL Irql = PASSIVE_LEVEL;
    bool DispatchedFirst = false;
    NTSTATUS Status = 0;
  } Seen;
  PREQUEST_POWER_COMPLETE Callback = [](PDEVICE_OBJECT, UCHAR, POWER_STATE, PVOID Context, PIO_STATUS_BLOCK IoStatus) {
    auto* Seen = static_cast<TSeen*>(Context);
    Seen->Thread = std::this_thread::get_id();
    Seen->Irql = KeGetCurrentIrql();
    Seen->DispatchedFirst = PowerDispatched;
    Seen->Status = IoStatus->Status;
    Seen->Called = true;
  };
  TFakeDevice Device(PowerWhenLetThrough);
  POWER_STATE State;
  State.DeviceState = PowerDeviceD2;
  PowerGate = false;
  PowerDispatched = false;
  EXPECT_EQ(PoRequestPowerIrp(Device.Device, IRP_MN_SET_POWER, State, Callback, &Seen, nullptr), STATUS_PENDING);
  EXPECT_FALSE(Seen.Called);
  PowerGate = true;
  TKit::WaitForPowerRequests();
  ASSERT_TRUE(Seen.Called);
  EXPECT_NE(Seen.Thread, std::this_thread::get_id());
  EXPECT_EQ(Seen.Irql, DISPATCH_LEVEL);
  EXPECT_TRUE(Seen.DispatchedFirst);
  EXPECT_EQ(Seen.Status, STATUS_SUCCESS);
  EXPECT_EQ(TKit::Faults(), std::vector<std::string>{});
  EXPECT_EQ(TKit::IrpsInUse(), 0u);
}

// Freed pool keeps its poison for a while instead of going straight back to
// the C library, which would hand the same block to the next allocation of
// its size: a driver reading a block it freed then sees the poison, not a
// plausible value written since.
TEST(KitTest, AFreedBlockReadsAsPoisonEvenAfterTheNextAllocation) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reports such a read itself";
#else
  struct TRecord {
    ULONG Length;
  };
  auto* Old = static_cast<TRecord*>(ExAllocatePool(NonPagedPool, sizeof(TRecord)));
  Old->Length = 39;
  ExFreePool(Old);
  auto* New = static_cast<TRecord*>(ExAllocatePool(NonPagedPool, sizeof(TRecord)));
  New->Length = 39;
  EXPECT_NE(static_cast<void*>(Old), static_cast<void*>(New));
  // The deliberate use of a freed block.
  ULONG Seen = *static_cast<volatile ULONG*>(&Old->Length);
  EXPECT_EQ(Seen, 0xDDDDDDDDu);
  ExFreePool(New);
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
#endif
}

TEST(KitTest, PoolStillHeldIsCounted) {
  PVOID Block = ExAllocatePool(NonPagedPool, 24);
  EXPECT_EQ(TKit::PoolBlocksInUse(), 1u);
  ExFreePool(Block);
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
}

}  // namespace
