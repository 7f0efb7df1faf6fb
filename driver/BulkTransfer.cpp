// SPDX-License-Identifier: GPL-3.0-or-later
// The data path: each read is one bulk IN transfer and each write one bulk
// OUT transfer. The caller's request is marked pending and its transfer
// handed to the bus as a request of the driver's own; the caller's request
// completes from that request's completion. While the transfer is in flight
// the caller's request can be cancelled (by its program, or by the system
// when the program's thread ends): the cancel goes on to the bus's request.
#include "Bridgewick.h"

namespace {

// One transfer in flight. Two holds keep it: the bus request's completion
// and the cancel side (the cancel routine, or whoever took it back from the
// caller's request). The one that drops the last completes the caller's
// request and frees the rest.
struct TTransfer {
  struct _URB_BULK_OR_INTERRUPT_TRANSFER Urb;
  PDEVICE_EXTENSION Extension;
  PIRP CallerIrp;
  PIRP BusIrp;
  ULONG Length;
  LONG Holds;
};

void DropTransferHold(TTransfer* Transfer) {
  if (InterlockedDecrement(&Transfer->Holds) != 0) return;
  PIRP Irp = Transfer->CallerIrp;
  PDEVICE_EXTENSION Extension = Transfer->Extension;
  // The bus leaves the bytes it actually moved in the URB; a short reply
  // must reach the caller as a short count, never as stale buffer bytes.
  ULONG_PTR Moved = Transfer->Urb.TransferBufferLength;
  if (Moved > Transfer->Length) Moved = Transfer->Length;
  Irp->IoStatus.Status = Transfer->BusIrp->IoStatus.Status;
  Irp->IoStatus.Information = Moved;
  IoFreeIrp(Transfer->BusIrp);
  ExFreePool(Transfer);
  IoCompleteRequest(Irp, IO_NO_INCREMENT);
  // Last: once the reference is back, a removal may delete the device.
  ReleaseIo(Extension);
}

// Runs at DISPATCH_LEVEL with the cancel spin lock held.
void NTAPI CancelTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  UNREFERENCED_PARAMETER(DeviceObject);
  IoReleaseCancelSpinLock(Irp->CancelIrql);
  TTransfer* Transfer = static_cast<TTransfer*>(Irp->Tail.Overlay.DriverContext[0]);
  // The cancel side's hold keeps the bus request alive through the cancel.
  IoCancelIrp(Transfer->BusIrp);
  DropTransferHold(Transfer);
}

NTSTATUS NTAPI TransferCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
  UNREFERENCED_PARAMETER(DeviceObject);
  UNREFERENCED_PARAMETER(Irp);
  TTransfer* Transfer = static_cast<TTransfer*>(Context);
  // Taken back before the cancel routine could run: its hold is ours to drop.
  if (IoSetCancelRoutine(Transfer->CallerIrp, nullptr) != nullptr) DropTransferHold(Transfer);
  DropTransferHold(Transfer);
  // The bus request is the driver's own; it is freed with the transfer.
  return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

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

  TTransfer* Transfer = static_cast<TTransfer*>(ExAllocatePool(NonPagedPool, sizeof(TTransfer)));
  PIRP BusIrp = Transfer != nullptr ? IoAllocateIrp(Extension->LowerDeviceObject->StackSize, FALSE) : nullptr;
  if (BusIrp == nullptr) {
    if (Transfer != nullptr) ExFreePool(Transfer);
    ReleaseIo(Extension);
    return CompleteRequest(Irp, STATUS_INSUFFICIENT_RESOURCES, 0);
  }
  RtlZeroMemory(Transfer, sizeof(TTransfer));
  PURB Urb = reinterpret_cast<PURB>(&Transfer->Urb);
  Urb->UrbHeader.Length = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  Urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  Urb->UrbBulkOrInterruptTransfer.PipeHandle = Interface->Pipes[PipeIndex].PipeHandle;
  Urb->UrbBulkOrInterruptTransfer.TransferFlags = FromDevice ? USBD_TRANSFER_DIRECTION_IN : USBD_SHORT_TRANSFER_OK;
  Urb->UrbBulkOrInterruptTransfer.TransferBufferLength = Length;
  // Buffered I/O: the system buffer is non-paged, lives until the caller's
  // request completes, and goes to the bus as is.
  Urb->UrbBulkOrInterruptTransfer.TransferBuffer = Irp->AssociatedIrp.SystemBuffer;
  Urb->UrbBulkOrInterruptTransfer.TransferBufferMDL = nullptr;
  Urb->UrbBulkOrInterruptTransfer.UrbLink = nullptr;
  Transfer->Extension = Extension;
  Transfer->CallerIrp = Irp;
  Transfer->BusIrp = BusIrp;
  Transfer->Length = Length;
  Transfer->Holds = 2;

  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(BusIrp);
  Next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  Next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  Next->Parameters.Others.Argument1 = Urb;
  IoSetCompletionRoutine(BusIrp, TransferCompletion, Transfer, TRUE, TRUE, TRUE);

  // The reference taken above is given back when the caller's request
  // completes, so a stop or a removal still waits for the transfer.
  Irp->Tail.Overlay.DriverContext[0] = Transfer;
  IoMarkIrpPending(Irp);
  (void)IoSetCancelRoutine(Irp, CancelTransfer);
  // Cancelled before the routine was in place: nobody else will pass the
  // cancel on, so it goes to the bus request once that is sent.
  BOOLEAN CancelNow = Irp->Cancel && IoSetCancelRoutine(Irp, nullptr) != nullptr;
  // Sent in the caller's thread: writes in flight together reach the pipe
  // in the order they were submitted.
  IoCallDriver(Extension->LowerDeviceObject, BusIrp);
  if (CancelNow) {
    IoCancelIrp(BusIrp);
    DropTransferHold(Transfer);
  }
  return STATUS_PENDING;
}
