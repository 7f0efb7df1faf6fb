// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test-facing side of the user-mode kernel layer: what the layer saw the
// driver do wrong, what it still holds, and the failures it can be told to
// inject. The driver itself never includes this.
#include <wdm.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class TKit {
public:
  // Every misuse of the kernel the layer noticed (a double free, a wait at
  // raised IRQL, a request completed twice, ...), oldest first.
  static std::vector<std::string> Faults();
  static void ClearFaults();
  static void Fault(const std::string& What);

  // Pool the driver holds (ExAllocatePool and names returned to it).
  static size_t PoolBlocksInUse();
  // Requests, device objects and memory descriptors still alive.
  static size_t IrpsInUse();
  static size_t DevicesInUse();

  // Failure injection. After `Allocations` more successful pool allocations
  // every further one fails, until cleared with -1.
  static void FailPoolAfter(long Allocations);
  static void FailIrpAllocations(bool Fail);
  // After `Allocations` more requests every further one fails (-1: none).
  static void FailIrpsAfter(long Allocations);
  static void FailCreateDevice(NTSTATUS Status);          // STATUS_SUCCESS: do not fail
  static void FailRegisterInterface(NTSTATUS Status);

  // Runs Hook once, in the copying thread, just before the next
  // RtlCopyMemory or RtlMoveMemory that reads from the pool block at Block:
  // a test's way to step in between a driver's look at a block and its copy.
  static void BeforeCopyFrom(const void* Block, std::function<void()> Hook);

  // Runs Hook once, in the calling thread, just before the Nth call (from
  // now on) of the named kernel routine does its work: a test's way to make
  // something happen at an exact point of a driver routine, as another
  // processor could.
  static void BeforeCall(const char* Routine, int Nth, std::function<void()> Hook);

  // Threads currently waiting on a dispatcher object (an event).
  static int Waiters(const void* Object);

  // Device interfaces: every registered symbolic link of a class.
  static std::vector<std::u16string> InterfaceLinks(const GUID& Class, bool EnabledOnly);
  static bool InterfaceEnabled(const std::u16string& Link);
  static PDEVICE_OBJECT InterfaceDevice(const std::u16string& Link);

  // Power requests started with PoStartNextPowerIrp.
  static long PowerIrpsStarted();
  // Power requests a driver asked for with PoRequestPowerIrp, and the
  // refusal the power manager gives them (STATUS_SUCCESS: none).
  static long PowerIrpsRequested();
  static void FailPowerRequests(NTSTATUS Status);
  // Waits until every power request asked for has run its callback.
  static void WaitForPowerRequests();
};

// Helpers for the managers and the bus; not part of the kernel's interface.
namespace KitInternal {
void MarkPhysical(PDEVICE_OBJECT Device, const std::u16string& InstancePath);
void SetDeletePending(PDEVICE_OBJECT Device, bool Pending);
bool IsLiveDevice(PDEVICE_OBJECT Device);
bool IsDeleted(PDEVICE_OBJECT Device);
void AddOpenFile(PDEVICE_OBJECT Device);
// The device the given one is attached on top of, or null.
PDEVICE_OBJECT DeviceBelow(PDEVICE_OBJECT Device);
void ReleaseOpenFile(PDEVICE_OBJECT Device);
// A request the layer owns: on final completion its status goes to the
// status block, buffered data is copied back (at most OutputLength bytes),
// the request is freed and the event set.
PIRP AllocateThreadedIrp(CCHAR StackSize, PIO_STATUS_BLOCK IoStatus, PKEVENT Event, ULONG OutputLength);
// The I/O manager's own requests stay allocated after their completion until
// the thread that waited for them frees them, as Windows frees them only in
// that thread: a cancel may reach such a request right up to then.
void KeepAfterCompletion(PIRP Irp);
void FreeCompletedIrp(PIRP Irp);
// The documented highest IRQL of a kernel routine; RequireIrql records a
// caller above it (and a routine the layer has no rule for).
bool IrqlRuleOf(const char* Routine, KIRQL* Maximum);
void RequireIrql(const char* Routine);
// Spin locks the calling thread holds.
int SpinLocksHeld();
PVOID AllocateSystemBuffer(SIZE_T Bytes);
void FreeSystemBuffer(PVOID Buffer);
// Runs the calling thread at an IRQL for the lifetime of the object.
class TIrqlScope {
public:
  explicit TIrqlScope(KIRQL Level);
  ~TIrqlScope();
  TIrqlScope(const TIrqlScope&) = delete;
  TIrqlScope& operator=(const TIrqlScope&) = delete;

private:
  KIRQL FOld;
};
// Remembers how many bytes the bus put into a descriptor buffer, so that
// parsing beyond them is caught.
void RecordDescriptorDelivery(const void* Buffer, ULONG Bytes);
void ForgetDescriptorDelivery(const void* Buffer);
bool DeliveredBytes(const void* Buffer, ULONG* Bytes);
}  // namespace KitInternal
