// SPDX-License-Identifier: GPL-3.0-or-later
// The highest IRQL at which each kernel routine the drivers call may be
// called, as the kernel's documentation gives it. Every routine of the layer
// checks its caller against this table, so a driver that calls one too high
// is caught here instead of crashing a machine later.
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

#include "driver/kit/KitState.h"

namespace {

struct TIrqlRule {
  const char* Routine;
  KIRQL Maximum;
};

// HIGH_LEVEL stands for "any level".
constexpr KIRQL AnyLevel = 31;

constexpr TIrqlRule Rules[] = {
    // Device objects, stacks and interfaces: set-up and tear-down only.
    {"IoCreateDevice", PASSIVE_LEVEL},
    {"IoDeleteDevice", PASSIVE_LEVEL},
    {"IoAttachDeviceToDeviceStack", PASSIVE_LEVEL},
    {"IoDetachDevice", PASSIVE_LEVEL},
    {"IoGetAttachedDevice", DISPATCH_LEVEL},
    {"IoRegisterDeviceInterface", PASSIVE_LEVEL},
    {"IoSetDeviceInterfaceState", PASSIVE_LEVEL},
    // Requests.
    {"IoBuildDeviceIoControlRequest", PASSIVE_LEVEL},
    {"IoAllocateIrp", DISPATCH_LEVEL},
    {"IoFreeIrp", DISPATCH_LEVEL},
    {"IofCallDriver", DISPATCH_LEVEL},
    {"IofCompleteRequest", DISPATCH_LEVEL},
    {"IoCancelIrp", DISPATCH_LEVEL},
    {"IoAcquireCancelSpinLock", DISPATCH_LEVEL},
    {"IoReleaseCancelSpinLock", DISPATCH_LEVEL},
    {"IoAllocateMdl", DISPATCH_LEVEL},
    {"IoBuildPartialMdl", DISPATCH_LEVEL},
    {"IoFreeMdl", DISPATCH_LEVEL},
    // Power.
    {"PoStartNextPowerIrp", DISPATCH_LEVEL},
    {"PoCallDriver", DISPATCH_LEVEL},
    {"PoRequestPowerIrp", DISPATCH_LEVEL},
    // Dispatcher objects and locks.
    {"KeInitializeEvent", AnyLevel},
    {"KeSetEvent", DISPATCH_LEVEL},
    {"KeResetEvent", DISPATCH_LEVEL},
    {"KeClearEvent", DISPATCH_LEVEL},
    {"KeReadStateEvent", DISPATCH_LEVEL},
    {"KeWaitForSingleObject", APC_LEVEL},   // DISPATCH_LEVEL with a zero time-out
    {"KeInitializeSpinLock", AnyLevel},
    {"KeAcquireSpinLock", DISPATCH_LEVEL},
    {"KeReleaseSpinLock", DISPATCH_LEVEL},
    {"KeGetCurrentIrql", AnyLevel},
    // Pool: nonpaged pool up to DISPATCH_LEVEL (paged pool is held to
    // APC_LEVEL by the pool routines themselves).
    {"ExAllocatePool", DISPATCH_LEVEL},
    {"ExAllocatePoolWithTag", DISPATCH_LEVEL},
    {"ExFreePool", DISPATCH_LEVEL},
    {"ExFreePoolWithTag", DISPATCH_LEVEL},
    // Strings: the init routine works on nonpaged strings at DISPATCH_LEVEL,
    // freeing one frees paged pool.
    {"RtlInitUnicodeString", DISPATCH_LEVEL},
    {"RtlFreeUnicodeString", PASSIVE_LEVEL},
    // The USB driver library works on pageable descriptors.
    {"USBD_ParseConfigurationDescriptorEx", PASSIVE_LEVEL},
    {"USBD_CreateConfigurationRequestEx", PASSIVE_LEVEL},
    {"USBD_CreateConfigurationRequest", PASSIVE_LEVEL},
    {"USBD_GetUSBDIVersion", PASSIVE_LEVEL},
};

}  // namespace

bool KitInternal::IrqlRuleOf(const char* Routine, KIRQL* Maximum) {
  for (const TIrqlRule& Rule : Rules) {
    if (std::strcmp(Rule.Routine, Routine) != 0) continue;
    *Maximum = Rule.Maximum;
    return true;
  }
  return false;
}

namespace {
// The routine a test is waiting for, and what it wants done then. A lock of
// its own: kernel routines may get here holding the layer's.
std::mutex CallWatchMutex;
std::atomic<bool> CallWatchSet{false};
std::string CallWatchRoutine;
int CallWatchCountdown = 0;
std::function<void()> CallWatch;

void RunCallWatch(const char* Routine) {
  std::function<void()> Hook;
  {
    std::lock_guard<std::mutex> Lock(CallWatchMutex);
    if (!CallWatch || CallWatchRoutine != Routine || --CallWatchCountdown > 0) return;
    Hook = std::move(CallWatch);
    CallWatch = nullptr;
    CallWatchSet = false;
  }
  Hook();
}
}  // namespace

void TKit::BeforeCall(const char* Routine, int Nth, std::function<void()> Hook) {
  std::lock_guard<std::mutex> Lock(CallWatchMutex);
  CallWatchRoutine = Routine;
  CallWatchCountdown = Nth;
  CallWatch = std::move(Hook);
  CallWatchSet = static_cast<bool>(CallWatch);
}

void KitInternal::RequireIrql(const char* Routine) {
  if (CallWatchSet) RunCallWatch(Routine);
  KIRQL Maximum = PASSIVE_LEVEL;
  if (!IrqlRuleOf(Routine, &Maximum)) {
    TKit::Fault(std::string("the layer has no IRQL rule for ") + Routine);
    return;
  }
  KIRQL Current = KeGetCurrentIrql();
  if (Current > Maximum)
    TKit::Fault(std::string(Routine) + " called at IRQL " + std::to_string(Current) + "; the most it allows is " +
                std::to_string(Maximum));
}
