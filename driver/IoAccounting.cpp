// Request accounting: the outstanding-I/O counter that lets a stop or a
// removal wait for transfers in progress, and request completion.
#include "Bridgewick.h"

BW_PAGEABLE BOOLEAN AcquireIo(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  InterlockedIncrement(&Extension->IoCount);
  // Checked after the increment, so a drain that has begun either sees this
  // reference or this request sees the drain.
  if (Extension->Draining) {
    ReleaseIo(Extension);
    return FALSE;
  }
  return TRUE;
}

void ReleaseIo(PDEVICE_EXTENSION Extension) {
  if (InterlockedDecrement(&Extension->IoCount) == 0) KeSetEvent(&Extension->IoIdleEvent, IO_NO_INCREMENT, FALSE);
}

// Information is kept at full width: a byte count of 65536 or more must not
// come back as a small number.
NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status, ULONG_PTR Information) {
  Irp->IoStatus.Status = Status;
  Irp->IoStatus.Information = Information;
  IoCompleteRequest(Irp, IO_NO_INCREMENT);
  return Status;
}
