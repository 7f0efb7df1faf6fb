// SPDX-License-Identifier: GPL-3.0-or-later
// The data path: each read is one bulk IN transfer and each write one bulk
// OUT transfer, carried out synchronously in the caller's thread.
#include "Bridgewick.h"

NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return BulkTransfer(DeviceObject, Irp, TRUE); }

NTSTATUS NTAPI DispatchWrite(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return BulkTransfer(DeviceObject, Irp, FALSE); }

NTSTATUS BulkTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice) {
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
  ULONG Length = FromDevice ? Stack->Parameters.Read.Length : Stack->Parameters.Write.Length;

  if (!AcquireIo(Extension)) return CompleteRequest(Irp, STATUS_DELETE_PENDING, 0);
  if (Extension->RejectRequests) {
    ReleaseIo(Extension);
    return CompleteRequest(Irp, STATUS_DEVICE_NOT_CONNECTED, 0);
  }

  // Without a saved interface (the configuration failed when the device was
  // added) there is no pipe to send on.
  PUSBD_INTERFACE_INFORMATION Interface = Extension->InterfaceInfo;
  ULONG PipeIndex = FromDevice ? Extension->BulkInPipeIndex : Extension->BulkOutPipeIndex;
  if (Interface == nullptr || PipeIndex >= Interface->NumberOfPipes) {
    ReleaseIo(Extension);
    return CompleteRequest(Irp, STATUS_INVALID_DEVICE_STATE, 0);
  }

  PURB Urb = static_cast<PURB>(ExAllocatePool(NonPagedPool, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER)));
  if (Urb == nullptr) {
    ReleaseIo(Extension);
    return CompleteRequest(Irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  }
  RtlZeroMemory(Urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER));
  Urb->UrbHeader.Length = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  Urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  Urb->UrbBulkOrInterruptTransfer.PipeHandle = Interface->Pipes[PipeIndex].PipeHandle;
  Urb->UrbBulkOrInterruptTransfer.TransferFlags = FromDevice ? USBD_TRANSFER_DIRECTION_IN : USBD_SHORT_TRANSFER_OK;
  Urb->UrbBulkOrInterruptTransfer.TransferBufferLength = Length;
  // Buffered I/O: the system buffer is non-paged and goes to the bus as is.
  Urb->UrbBulkOrInterruptTransfer.TransferBuffer = Irp->AssociatedIrp.SystemBuffer;
  Urb->UrbBulkOrInterruptTransfer.TransferBufferMDL = nullptr;
  Urb->UrbBulkOrInterruptTransfer.UrbLink = nullptr;

  NTSTATUS Status = SubmitUrbSync(Extension, Urb);

  // The bus leaves the bytes it actually moved in the URB; a short reply
  // must reach the caller as a short count, never as stale buffer bytes.
  ULONG_PTR Moved = Urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
  if (Moved > Length) Moved = Length;
  Irp->IoStatus.Status = Status;
  Irp->IoStatus.Information = Moved;
  IoCompleteRequest(Irp, IO_NO_INCREMENT);

  ExFreePool(Urb);
  ReleaseIo(Extension);
  return Status;
}

NTSTATUS CallUsbdSync(PDEVICE_EXTENSION Extension, ULONG IoControlCode, PVOID Argument) {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = IoBuildDeviceIoControlRequest(IoControlCode, Extension->LowerDeviceObject, nullptr, 0, nullptr, 0, TRUE,
                                           &Done, &IoStatus);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  IoGetNextIrpStackLocation(Irp)->Parameters.Others.Argument1 = Argument;

  NTSTATUS Status = IoCallDriver(Extension->LowerDeviceObject, Irp);
  if (Status == STATUS_PENDING) {
    KeWaitForSingleObject(&Done, Suspended, KernelMode, FALSE, nullptr);
    Status = IoStatus.Status;
  }
  return Status;
}

// No time-out and no cancellation: a bulk IN waits until the cable answers or
// the bus fails the transfer (the cable was unplugged).
NTSTATUS SubmitUrbSync(PDEVICE_EXTENSION Extension, PURB Urb) {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, Extension->LowerDeviceObject, nullptr, 0,
                                           nullptr, 0, TRUE, &Done, &IoStatus);
  if (Irp == nullptr) {
    // The URB never reached the bus: a transfer's count must say that
    // nothing moved, not keep the length that was asked for.
    if (Urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)
      Urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  IoGetNextIrpStackLocation(Irp)->Parameters.Others.Argument1 = Urb;

  IoStatus.Status = STATUS_PENDING;
  NTSTATUS Status = IoCallDriver(Extension->LowerDeviceObject, Irp);
  if (Status == STATUS_PENDING) {
    do {
      KeWaitForSingleObject(&Done, Suspended, KernelMode, FALSE, nullptr);
    } while (IoStatus.Status == STATUS_PENDING);
  }
  return IoStatus.Status;
}
