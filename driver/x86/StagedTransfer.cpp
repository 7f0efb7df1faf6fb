// SPDX-License-Identifier: GPL-3.0-or-later
// The data path. A read or write of up to one stage is one bulk transfer on
// the request itself; a longer one is split into stages of StageSize bytes,
// each with its own request, URB and partial descriptor of the caller's
// locked buffer, all sent at once. The caller's request completes when the
// last stage has, with the bytes the stages actually moved.
#include "driver/x86/Bridgewick.h"

namespace {

ULONG MinOf(ULONG A, ULONG B) { return A < B ? A : B; }

// The part of finishing a staged request that must happen under StageLock:
// the bookkeeping of its direction is let go, so a new staged request may be
// admitted, and a cancel waiting for this one is woken.
PIRP DetachStagedRequest(PDEVICE_EXTENSION Extension, int Slot, PSTAGE_ENTRY* Stages) {
  PIRP Master = Extension->MasterIrp[Slot];
  *Stages = Extension->StageArray[Slot];
  Extension->MasterIrp[Slot] = nullptr;
  Extension->StageArray[Slot] = nullptr;
  KeSetEvent(&Extension->StagesDoneEvent[Slot], IO_NO_INCREMENT, FALSE);
  return Master;
}

// A staged request is kept by two holds, counted in its driver context: the
// stages' (dropped when the last stage has finished) and its cancel routine's.
// The one that drops the last completes it, so a cancel routine running on
// another processor never finds it freed.
LONG* MasterHolds(PIRP Master) { return reinterpret_cast<LONG*>(&Master->Tail.Overlay.DriverContext[0]); }

void DropMasterHold(PIRP Master) {
  if (InterlockedDecrement(MasterHolds(Master)) == 0) IoCompleteRequest(Master, IO_NO_INCREMENT);
}

// The bytes the caller is told of: the stages in order up to the first one
// that moved less than its share. A short packet ends what the cable sends,
// so what later stages hold is no continuation of it, and the gap before it
// holds only the caller's old bytes.
ULONG ContiguousBytes(PSTAGE_ENTRY Stages) {
  ULONG Bytes = 0;
  for (PSTAGE_ENTRY Entry = Stages; Entry->StageIrp != nullptr; ++Entry) {
    Bytes += Entry->Moved;
    if (Entry->Moved < MmGetMdlByteCount(Entry->StageMdl)) break;
  }
  return Bytes;
}

// The rest, outside the lock: the stages' requests and descriptors go, and
// the caller's request completes (or its cancel routine, still running,
// completes it).
void FinishStagedRequest(PIRP Master, PSTAGE_ENTRY Stages) {
  // The status is the one set while sending, by a failed stage or by a
  // cancel; success otherwise.
  Master->IoStatus.Information = ContiguousBytes(Stages);
  for (PSTAGE_ENTRY Entry = Stages; Entry->StageIrp != nullptr; ++Entry) {
    if (Entry->Urb != nullptr) ExFreePoolWithTag(Entry->Urb, PoolTag);
    IoFreeMdl(Entry->StageMdl);
    IoFreeIrp(Entry->StageIrp);
  }
  ExFreePoolWithTag(Stages, PoolTag);
  // Taken back before a cancel routine could run: its hold goes too.
  if (IoSetCancelRoutine(Master, nullptr) != nullptr) InterlockedDecrement(MasterHolds(Master));
  DropMasterHold(Master);
}

// Records the first failure of a staged request (StageLock held).
void RecordFailure(PIRP Master, NTSTATUS Failure) {
  if (!NT_SUCCESS(Failure) && NT_SUCCESS(Master->IoStatus.Status)) Master->IoStatus.Status = Failure;
}

// Drops Count holds on the staged request of a direction; the one that drops
// the last finishes it.
void DropStageHolds(PDEVICE_EXTENSION Extension, int Slot, LONG Count, NTSTATUS Failure) {
  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  RecordFailure(Extension->MasterIrp[Slot], Failure);
  Extension->PendingStages[Slot] -= Count;
  PIRP Master = nullptr;
  PSTAGE_ENTRY Stages = nullptr;
  if (Extension->PendingStages[Slot] == 0) Master = DetachStagedRequest(Extension, Slot, &Stages);
  KeReleaseSpinLock(&Extension->StageLock, Old);
  if (Master != nullptr) FinishStagedRequest(Master, Stages);
}

USBD_PIPE_HANDLE PipeOf(PDEVICE_EXTENSION Extension, BOOLEAN FromDevice) {
  return FromDevice ? Extension->BulkInPipe : Extension->BulkOutPipe;
}

// The next stack location as the submission of Urb to the bus.
void SetSubmitUrb(PIRP Irp, PURB Urb) {
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
  Next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
  Next->Parameters.Others.Argument1 = Urb;
}

// Cancels every stage in flight of the staged request Master of a direction
// (any one when null) without waiting for them. TRUE when there was such a
// request.
BOOLEAN CancelStageRequests(PDEVICE_EXTENSION Extension, int Slot, PIRP Master) {
  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  PIRP Current = Extension->MasterIrp[Slot];
  if (Current == nullptr || (Master != nullptr && Current != Master)) {
    KeReleaseSpinLock(&Extension->StageLock, Old);
    return FALSE;
  }
  // A hold of its own keeps the stages' requests alive while they are
  // cancelled; the caller learns its request was cut short.
  ++Extension->PendingStages[Slot];
  RecordFailure(Current, STATUS_CANCELLED);
  PSTAGE_ENTRY Array = Extension->StageArray[Slot];
  KeReleaseSpinLock(&Extension->StageLock, Old);

  // Every stage still in flight, wherever it is in the array: they complete
  // in any order, so a finished stage says nothing of the ones after it.
  for (PSTAGE_ENTRY Entry = Array;; ++Entry) {
    KeAcquireSpinLock(&Extension->StageLock, &Old);
    PIRP StageIrp = Entry->StageIrp;
    BOOLEAN InFlight = StageIrp != nullptr && Entry->Urb != nullptr;
    KeReleaseSpinLock(&Extension->StageLock, Old);
    if (StageIrp == nullptr) break;
    if (InFlight) IoCancelIrp(StageIrp);
  }
  DropStageHolds(Extension, Slot, 1, STATUS_SUCCESS);
  return TRUE;
}

// The caller's staged request is cancelled (by its program, or because its
// thread ended): its stages are, and it completes once they have. Runs at
// DISPATCH_LEVEL with the cancel spin lock held; nothing here waits.
void NTAPI CancelStagedRequest(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  IoReleaseCancelSpinLock(Irp->CancelIrql);
  BOOLEAN FromDevice = IoGetCurrentIrpStackLocation(Irp)->MajorFunction == IRP_MJ_READ;
  CancelStageRequests(ExtensionOf(DeviceObject), DirectionIndex(FromDevice), Irp);
  DropMasterHold(Irp);
}

}  // namespace

NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return StagedTransfer(DeviceObject, Irp, TRUE); }

NTSTATUS NTAPI DispatchWrite(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return StagedTransfer(DeviceObject, Irp, FALSE); }

PURB BuildTransferUrb(PDEVICE_EXTENSION Extension, PMDL Mdl, BOOLEAN FromDevice) {
  ULONG Size = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  PURB Urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, Size, PoolTag));
  if (Urb == nullptr) return nullptr;
  RtlZeroMemory(Urb, Size);
  UsbBuildInterruptOrBulkTransferRequest(
      Urb, static_cast<USHORT>(Size), PipeOf(Extension, FromDevice), nullptr, Mdl,
      Mdl != nullptr ? MmGetMdlByteCount(Mdl) : 0,
      USBD_SHORT_TRANSFER_OK | (FromDevice ? USBD_TRANSFER_DIRECTION_IN : USBD_TRANSFER_DIRECTION_OUT), nullptr);
  return Urb;
}

NTSTATUS StagedTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice) {
  PDEVICE_EXTENSION Extension = ExtensionOf(DeviceObject);
  ULONG Length = Irp->MdlAddress != nullptr ? MmGetMdlByteCount(Irp->MdlAddress) : 0;
  // The dispatch routine's own reference: the device stays while it sends.
  AcquireIo(Extension);
  NTSTATUS Status;
  if (!CanAcceptIo(Extension)) {
    Status = CompleteRequest(Irp, STATUS_DELETE_PENDING, 0);
  } else if (PipeOf(Extension, FromDevice) == nullptr) {
    // The selected interface has no such endpoint.
    Status = CompleteRequest(Irp, STATUS_INVALID_DEVICE_STATE, 0);
  } else if (Length <= Extension->StageSize) {
    Status = SingleTransfer(DeviceObject, Irp, FromDevice);
  } else if (Length > MaximumStagedLength) {
    Status = CompleteRequest(Irp, STATUS_INVALID_PARAMETER, 0);
  } else {
    LONG Stages = static_cast<LONG>((Length + Extension->StageSize - 1) / Extension->StageSize);
    ULONG ArrayBytes = (Stages + 1) * sizeof(STAGE_ENTRY);
    PSTAGE_ENTRY Array = static_cast<PSTAGE_ENTRY>(ExAllocatePoolWithTag(NonPagedPool, ArrayBytes, PoolTag));
    if (Array == nullptr) {
      Status = CompleteRequest(Irp, STATUS_INSUFFICIENT_RESOURCES, 0);
      ReleaseIo(Extension);
      return Status;
    }
    RtlZeroMemory(Array, ArrayBytes);

    // The bookkeeping exists once per direction: a second staged request of
    // the same direction while one is in progress is refused, not queued.
    int Slot = DirectionIndex(FromDevice);
    KIRQL Old;
    KeAcquireSpinLock(&Extension->StageLock, &Old);
    NTSTATUS Admitted = STATUS_SUCCESS;
    if (!CanAcceptIo(Extension))
      Admitted = STATUS_DELETE_PENDING;
    else if (Extension->MasterIrp[Slot] != nullptr)
      Admitted = STATUS_DEVICE_BUSY;
    if (NT_SUCCESS(Admitted)) {
      Extension->MasterIrp[Slot] = Irp;
      Extension->StageArray[Slot] = Array;
      // One hold per stage and one for this sender, so that the request
      // cannot finish before sending is over, however early the stages
      // complete and however many of them are sent.
      Extension->PendingStages[Slot] = Stages + 1;
      KeClearEvent(&Extension->StagesDoneEvent[Slot]);
      Irp->IoStatus.Status = STATUS_SUCCESS;
      Irp->IoStatus.Information = 0;
      IoMarkIrpPending(Irp);
      *MasterHolds(Irp) = 2;
      (void)IoSetCancelRoutine(Irp, CancelStagedRequest);
    }
    KeReleaseSpinLock(&Extension->StageLock, Old);
    if (!NT_SUCCESS(Admitted)) {
      ExFreePoolWithTag(Array, PoolTag);
      Status = CompleteRequest(Irp, Admitted, 0);
      ReleaseIo(Extension);
      return Status;
    }

    PUCHAR Base = static_cast<PUCHAR>(MmGetMdlVirtualAddress(Irp->MdlAddress));
    NTSTATUS Failure = STATUS_SUCCESS;
    // Cancelled before its cancel routine was in place: nothing is sent, and
    // the cancel routine's hold goes, as it will never run.
    if (Irp->Cancel && IoSetCancelRoutine(Irp, nullptr) != nullptr) {
      InterlockedDecrement(MasterHolds(Irp));
      Failure = STATUS_CANCELLED;
    }
    LONG Sent = 0;
    for (; NT_SUCCESS(Failure) && Sent < Stages; ++Sent) {
      ULONG Offset = Sent * Extension->StageSize;
      ULONG Bytes = MinOf(Extension->StageSize, Length - Offset);
      PIRP StageIrp = IoAllocateIrp(static_cast<CCHAR>(Extension->LowerDeviceObject->StackSize + 1), FALSE);
      PMDL StageMdl = StageIrp != nullptr ? IoAllocateMdl(Base + Offset, Bytes, FALSE, FALSE, nullptr) : nullptr;
      PURB Urb = nullptr;
      if (StageMdl != nullptr) {
        IoBuildPartialMdl(Irp->MdlAddress, StageMdl, Base + Offset, Bytes);
        Urb = BuildTransferUrb(Extension, StageMdl, FromDevice);
      }
      if (Urb == nullptr) {
        if (StageMdl != nullptr) IoFreeMdl(StageMdl);
        if (StageIrp != nullptr) IoFreeIrp(StageIrp);
        Failure = STATUS_INSUFFICIENT_RESOURCES;
        break;
      }

      // Recorded under the lock, after a last look at the gate and at the
      // request: a cancel (of the device's stages, or of this request by its
      // program) either sees this stage or this sender sees the cancel, and
      // a failed stage ends the sending too.
      PSTAGE_ENTRY Entry = &Array[Sent];
      KeAcquireSpinLock(&Extension->StageLock, &Old);
      NTSTATUS Refusal = !CanAcceptIo(Extension) ? STATUS_DELETE_PENDING : Irp->IoStatus.Status;
      BOOLEAN Open = NT_SUCCESS(Refusal);
      if (Open) {
        Entry->Urb = Urb;
        Entry->DeviceObject = DeviceObject;
        Entry->StageIrp = StageIrp;
        Entry->StageMdl = StageMdl;
        Entry->FromDevice = FromDevice;
      }
      KeReleaseSpinLock(&Extension->StageLock, Old);
      if (!Open) {
        ExFreePoolWithTag(Urb, PoolTag);
        IoFreeMdl(StageMdl);
        IoFreeIrp(StageIrp);
        Failure = Refusal;
        break;
      }

      SetSubmitUrb(StageIrp, Urb);
      IoSetCompletionRoutine(StageIrp, StageCompletion, Entry, TRUE, TRUE, TRUE);
      AcquireIo(Extension);
      NTSTATUS Called = IoCallDriver(Extension->LowerDeviceObject, StageIrp);
      if (!NT_SUCCESS(Called)) {
        // This stage went down and completes on its own; the rest stay here.
        ++Sent;
        Failure = Called;
        break;
      }
    }

    // A failed send may have left the pipe halted.
    if (!NT_SUCCESS(Failure) && Failure != STATUS_CANCELLED && CanAcceptIo(Extension) &&
        !NT_SUCCESS(ResetPipe(Extension, PipeOf(Extension, FromDevice))))
      ResetDevice(Extension);
    // The holds of the stages never sent, and this sender's own.
    DropStageHolds(Extension, Slot, Stages - Sent + 1, Failure);
    Status = STATUS_PENDING;
  }
  ReleaseIo(Extension);
  return Status;
}

NTSTATUS NTAPI StageCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
  UNREFERENCED_PARAMETER(DeviceObject);
  PSTAGE_ENTRY Entry = static_cast<PSTAGE_ENTRY>(Context);
  PDEVICE_EXTENSION Extension = ExtensionOf(Entry->DeviceObject);
  int Slot = DirectionIndex(Entry->FromDevice);
  // Never more than the stage asked for, whatever the bus says.
  PURB Urb = Entry->Urb;
  ULONG Moved = MinOf(Urb->UrbBulkOrInterruptTransfer.TransferBufferLength, MmGetMdlByteCount(Entry->StageMdl));

  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  Entry->Moved = Moved;
  Entry->Urb = nullptr;   // done: a cancel passes this stage by
  // A stage the bus failed (a pulled cable, a transfer error) fails the
  // whole request.
  RecordFailure(Extension->MasterIrp[Slot], Irp->IoStatus.Status);
  PIRP Master = nullptr;
  PSTAGE_ENTRY Stages = nullptr;
  if (--Extension->PendingStages[Slot] == 0) Master = DetachStagedRequest(Extension, Slot, &Stages);
  KeReleaseSpinLock(&Extension->StageLock, Old);

  ExFreePoolWithTag(Urb, PoolTag);
  if (Master != nullptr) FinishStagedRequest(Master, Stages);
  ReleaseIo(Extension);
  // The stage requests are the driver's own; they are freed with the array.
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS SingleTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice) {
  PDEVICE_EXTENSION Extension = ExtensionOf(DeviceObject);
  PURB Urb = BuildTransferUrb(Extension, Irp->MdlAddress, FromDevice);
  if (Urb == nullptr) return CompleteRequest(Irp, STATUS_INSUFFICIENT_RESOURCES, 0);

  // One single-stage transfer per direction at a time, as the bookkeeping
  // exists once for each. The gate is looked at again under the lock: a
  // transfer admitted as it closes is registered before a cancel looks.
  int Slot = DirectionIndex(FromDevice);
  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  NTSTATUS Admitted = STATUS_SUCCESS;
  if (!CanAcceptIo(Extension))
    Admitted = STATUS_DELETE_PENDING;
  else if (Extension->SingleIrp[Slot] != nullptr)
    Admitted = STATUS_DEVICE_BUSY;
  if (NT_SUCCESS(Admitted)) {
    Extension->SingleUrb[Slot] = Urb;
    Extension->SingleIrp[Slot] = Irp;
    Extension->SingleHolds[Slot] = 1;
  }
  KeReleaseSpinLock(&Extension->StageLock, Old);
  if (!NT_SUCCESS(Admitted)) {
    ExFreePoolWithTag(Urb, PoolTag);
    return CompleteRequest(Irp, Admitted, 0);
  }

  SetSubmitUrb(Irp, Urb);
  IoSetCompletionRoutine(Irp, SingleCompletion, Extension, TRUE, TRUE, TRUE);
  AcquireIo(Extension);
  // The completion turns the bus's status into a byte count and completes
  // the request again, so what the bus returns here is not the request's
  // final status: the caller is told to wait for the completion instead.
  IoMarkIrpPending(Irp);
  IoCallDriver(Extension->LowerDeviceObject, Irp);
  return STATUS_PENDING;
}

NTSTATUS NTAPI SingleCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
  UNREFERENCED_PARAMETER(DeviceObject);
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(Context);
  if (Irp->PendingReturned) IoMarkIrpPending(Irp);

  int Slot = DirectionIndex(IoGetCurrentIrpStackLocation(Irp)->MajorFunction == IRP_MJ_READ);
  // Never more bytes than asked for; a failed transfer (a pulled cable, a
  // transfer error, a cancel) completes with its failure, not as success.
  PURB Urb = Extension->SingleUrb[Slot];
  ULONG Asked = Irp->MdlAddress != nullptr ? MmGetMdlByteCount(Irp->MdlAddress) : 0;
  ULONG Moved = MinOf(Urb->UrbBulkOrInterruptTransfer.TransferBufferLength, Asked);
  Irp->IoStatus.Information = Moved;

  KIRQL Old;
  KeAcquireSpinLock(&Extension->StageLock, &Old);
  Extension->SingleUrb[Slot] = nullptr;
  BOOLEAN Last = --Extension->SingleHolds[Slot] == 0;
  if (Last) Extension->SingleIrp[Slot] = nullptr;
  KeReleaseSpinLock(&Extension->StageLock, Old);

  ExFreePoolWithTag(Urb, PoolTag);
  // Completed again from here, or by the cancel that still holds it.
  if (Last) IoCompleteRequest(Irp, IO_NO_INCREMENT);
  ReleaseIo(Extension);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

void CancelStages(PDEVICE_EXTENSION Extension) {
  KIRQL Old;
  // A single-stage read may wait for the cable for ever; held while it is
  // cancelled, so that it cannot be completed and freed under the cancel.
  for (int Slot = 0; Slot < 2; ++Slot) {
    KeAcquireSpinLock(&Extension->StageLock, &Old);
    PIRP Single = Extension->SingleIrp[Slot];
    if (Single != nullptr) ++Extension->SingleHolds[Slot];
    KeReleaseSpinLock(&Extension->StageLock, Old);
    if (Single == nullptr) continue;
    IoCancelIrp(Single);
    KeAcquireSpinLock(&Extension->StageLock, &Old);
    BOOLEAN Last = --Extension->SingleHolds[Slot] == 0;
    if (Last) Extension->SingleIrp[Slot] = nullptr;
    KeReleaseSpinLock(&Extension->StageLock, Old);
    if (Last) IoCompleteRequest(Single, IO_NO_INCREMENT);
  }

  // Both directions' stages are cancelled before either is waited for.
  BOOLEAN Cancelled[2];
  for (int Slot = 0; Slot < 2; ++Slot) Cancelled[Slot] = CancelStageRequests(Extension, Slot, nullptr);
  for (int Slot = 0; Slot < 2; ++Slot)
    if (Cancelled[Slot])
      KeWaitForSingleObject(&Extension->StagesDoneEvent[Slot], Suspended, KernelMode, FALSE, nullptr);
}
