// SPDX-License-Identifier: GPL-3.0-or-later
// Request accounting: the outstanding-I/O counter that lets a removal wait
// for everything in progress, and the gate on new work.
#include "driver/x86/Bridgewick.h"

void AcquireIo(PDEVICE_EXTENSION Extension) {
  KIRQL Old;
  KeAcquireSpinLock(&Extension->IoCountLock, &Old);
  InterlockedIncrement(&Extension->IoCount);
  KeReleaseSpinLock(&Extension->IoCountLock, Old);
}

void ReleaseIo(PDEVICE_EXTENSION Extension) {
  KIRQL Old;
  KeAcquireSpinLock(&Extension->IoCountLock, &Old);
  LONG Count = InterlockedDecrement(&Extension->IoCount);
  if (Count == 1) KeSetEvent(&Extension->NoPendingIoEvent, IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&Extension->IoCountLock, Old);
  // Set outside the lock: the removal waiting for it deletes the device,
  // lock and all, as soon as it wakes. Nothing here touches the extension
  // afterwards.
  if (Count == 0) KeSetEvent(&Extension->RemoveEvent, IO_NO_INCREMENT, FALSE);
}

void DrainRequests(PDEVICE_EXTENSION Extension) {
  // The event is cleared and the caller's reference given back in one step
  // under the counter's lock, where ReleaseIo sets it: a request finishing in
  // between cannot be missed.
  KIRQL Old;
  KeAcquireSpinLock(&Extension->IoCountLock, &Old);
  KeClearEvent(&Extension->NoPendingIoEvent);
  LONG Count = InterlockedDecrement(&Extension->IoCount);
  if (Count == 1) KeSetEvent(&Extension->NoPendingIoEvent, IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&Extension->IoCountLock, Old);
  KeWaitForSingleObject(&Extension->NoPendingIoEvent, Suspended, KernelMode, FALSE, nullptr);
  AcquireIo(Extension);
}

// The gate's flags change under the stage lock, so that a staged request is
// either admitted before the change (and seen by it) or refused after it.
// These routines stay out of the pageable section: the code between taking
// and dropping a spin lock runs at DISPATCH_LEVEL and must be resident.
void SetGate(PDEVICE_EXTENSION Extension, BOOLEAN* Flag, BOOLEAN Value) {
  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  *Flag = Value;
  KeReleaseSpinLock(&Extension->StageLock, Old);
}

BOOLEAN CloseGateIfIdle(PDEVICE_EXTENSION Extension, BOOLEAN* Flag) {
  // Checked and set together: a staged request admitted in between would
  // run on into what the gate is closed for.
  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  BOOLEAN Idle = Extension->PendingStages[0] == 0 && Extension->PendingStages[1] == 0;
  if (Idle) *Flag = TRUE;
  KeReleaseSpinLock(&Extension->StageLock, Old);
  return Idle;
}

BOOLEAN CanAcceptIo(PDEVICE_EXTENSION Extension) {
  return !Extension->RemovePending && Extension->Started && !Extension->QueryRemovePending &&
         !Extension->QueryStopPending;
}
