// SPDX-License-Identifier: GPL-3.0-or-later
// Request completion helpers shared by both builds.
#include "driver/BridgewickCommon.h"

// Information is kept at full width: a byte count of 65536 or more must not
// come back as a small number.
NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status, ULONG_PTR Information) {
  Irp->IoStatus.Status = Status;
  Irp->IoStatus.Information = Information;
  IoCompleteRequest(Irp, IO_NO_INCREMENT);
  return Status;
}

// Runs at any level up to DISPATCH_LEVEL; it only wakes the waiting sender
// and keeps the request, which the sender completes itself.
NTSTATUS NTAPI ForwardCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
  UNREFERENCED_PARAMETER(DeviceObject);
  UNREFERENCED_PARAMETER(Irp);
  KeSetEvent(static_cast<PKEVENT>(Context), IO_NO_INCREMENT, FALSE);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS ForwardAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp) {
  KEVENT Done;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  IoCopyCurrentIrpStackLocationToNext(Irp);
  IoSetCompletionRoutine(Irp, ForwardCompletion, &Done, TRUE, TRUE, TRUE);
  NTSTATUS Status = IoCallDriver(LowerDevice, Irp);
  if (Status == STATUS_PENDING) {
    KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, nullptr);
    Status = Irp->IoStatus.Status;
  }
  return Status;
}
