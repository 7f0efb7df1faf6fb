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

BOOLEAN CanAcceptIo(PDEVICE_EXTENSION Extension) {
  return !Extension->RemovePending && Extension->Started && !Extension->QueryRemovePending &&
         !Extension->QueryStopPending;
}
