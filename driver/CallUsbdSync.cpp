// SPDX-License-Identifier: GPL-3.0-or-later
// The synchronous sender both builds use for their requests to the bus
// below: built by the I/O manager, which frees it when it completes, and
// waited for in the caller's thread.
#include "driver/BridgewickCommon.h"

NTSTATUS CallUsbdSync(PDEVICE_OBJECT LowerDeviceObject, ULONG IoControlCode, PVOID Argument) {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = IoBuildDeviceIoControlRequest(IoControlCode, LowerDeviceObject, nullptr, 0, nullptr, 0, TRUE, &Done,
                                           &IoStatus);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  IoGetNextIrpStackLocation(Irp)->Parameters.Others.Argument1 = Argument;

  NTSTATUS Status = IoCallDriver(LowerDeviceObject, Irp);
  if (Status == STATUS_PENDING) {
    KeWaitForSingleObject(&Done, Suspended, KernelMode, FALSE, nullptr);
    Status = IoStatus.Status;
  }
  return Status;
}
