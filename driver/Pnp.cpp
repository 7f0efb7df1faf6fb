// SPDX-License-Identifier: GPL-3.0-or-later
// Plug and Play: start, the query/cancel pairs, stop, surprise removal and
// removal, with the request gating that keeps transfers away from a device
// that is not running.
#include "Bridgewick.h"

namespace {

// Hands the request to the driver below without waiting for it.
NTSTATUS PassDown(PDEVICE_EXTENSION Extension, PIRP Irp) {
  IoSkipCurrentIrpStackLocation(Irp);
  return IoCallDriver(Extension->LowerDeviceObject, Irp);
}


}  // namespace

BW_PAGEABLE NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PAGED_CODE();
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  if (!AcquireIo(Extension)) return CompleteRequest(Irp, STATUS_DELETE_PENDING, 0);

  NTSTATUS Status;
  switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
      Status = HandleStartDevice(Extension, Irp);
      break;

    case IRP_MN_QUERY_REMOVE_DEVICE:
      // An open handle would be left pointing at a deleted device.
      if (Extension->OpenHandles > 0) {
        Status = CompleteRequest(Irp, STATUS_UNSUCCESSFUL, 0);
      } else {
        Extension->RejectRequests = TRUE;
        Status = PassDown(Extension, Irp);
      }
      break;

    case IRP_MN_REMOVE_DEVICE:
      DrainIo(Extension);
      Status = PassDown(Extension, Irp);
      IoSetDeviceInterfaceState(&Extension->InterfaceName, FALSE);
      RtlFreeUnicodeString(&Extension->InterfaceName);
      if (Extension->InterfaceInfo != nullptr) {
        ExFreePool(Extension->InterfaceInfo);
        Extension->InterfaceInfo = nullptr;
      }
      if (Extension->LowerDeviceObject != nullptr) IoDetachDevice(Extension->LowerDeviceObject);
      // The extension goes with the device object: no reference is given back.
      IoDeleteDevice(DeviceObject);
      return Status;

    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
      Extension->RejectRequests = FALSE;
      Status = PassDown(Extension, Irp);
      break;

    case IRP_MN_STOP_DEVICE:
      DrainIo(Extension);
      Status = PassDown(Extension, Irp);
      break;

    case IRP_MN_SURPRISE_REMOVAL:
      // The cable is gone. A bus may end the transfers it still holds only
      // when the removal reaches the port itself, so new transfers are
      // refused, the removal goes down first, and only then does the driver
      // wait for what is in flight; the request completes after that wait.
      Extension->RejectRequests = TRUE;
      Status = ForwardAndWait(Extension->LowerDeviceObject, Irp);
      DrainIo(Extension);
      Status = CompleteRequest(Irp, Status, 0);
      break;

    case IRP_MN_QUERY_STOP_DEVICE:
      // Open handles may stay; their transfers are refused until the cancel.
      Extension->RejectRequests = TRUE;
      Status = PassDown(Extension, Irp);
      break;

    default:
      Status = PassDown(Extension, Irp);
      break;
  }
  ReleaseIo(Extension);
  return Status;
}

BW_PAGEABLE NTSTATUS HandleStartDevice(PDEVICE_EXTENSION Extension, PIRP Irp) {
  PAGED_CODE();
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);

  // The bus must have started the device before the driver may use it, so
  // the request goes down first and comes back here.
  NTSTATUS Status = ForwardAndWait(Extension->LowerDeviceObject, Irp);
  if (!NT_SUCCESS(Status)) {
    Irp->IoStatus.Status = Status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
  }

  if (Extension->Started) {
    Status = STATUS_SUCCESS;
  } else {
    NTSTATUS Parsed = ParseResources(Extension, Stack->Parameters.StartDevice.AllocatedResourcesTranslated);
    if (!NT_SUCCESS(Parsed)) return CompleteRequest(Irp, Parsed, 0);
    Extension->Started = TRUE;
  }

  Extension->RejectRequests = FALSE;
  IoSetDeviceInterfaceState(&Extension->InterfaceName, TRUE);
  return CompleteRequest(Irp, Status, 0);
}

BW_PAGEABLE void DrainIo(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  Extension->RejectRequests = TRUE;
  if (!Extension->Started) return;

  Extension->Draining = TRUE;
  KeResetEvent(&Extension->IoIdleEvent);
  // The device's own reference and the one this Plug and Play request holds;
  // what remains are transfers in progress.
  ReleaseIo(Extension);
  ReleaseIo(Extension);
  KeWaitForSingleObject(&Extension->IoIdleEvent, Executive, KernelMode, FALSE, nullptr);

  Extension->Draining = FALSE;
  Extension->Started = FALSE;
  AcquireIo(Extension);
  AcquireIo(Extension);
}

BW_PAGEABLE NTSTATUS ParseResources(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Resources) {
  PAGED_CODE();
  if (Resources == nullptr || Resources->Count == 0) return STATUS_SUCCESS;

  Extension->InterruptFound = FALSE;
  Extension->RangeFound = FALSE;
  Extension->RangeInIoSpace = FALSE;
  Extension->RangeInMemory = FALSE;

  PCM_PARTIAL_RESOURCE_LIST Partial = &Resources->List[0].PartialResourceList;
  BOOLEAN Conflict = FALSE;
  for (ULONG Index = 0; Index < Partial->Count; ++Index) {
    PCM_PARTIAL_RESOURCE_DESCRIPTOR Descriptor = &Partial->PartialDescriptors[Index];
    switch (Descriptor->Type) {
      case CmResourceTypePort:
        if (Extension->RangeFound) {
          Conflict = TRUE;
          break;
        }
        Extension->RangeFound = TRUE;
        Extension->RangeStart = Descriptor->u.Port.Start;
        Extension->RangeLength = Descriptor->u.Port.Length;
        Extension->RangeInIoSpace = (Descriptor->Flags & CM_RESOURCE_PORT_IO) != 0;
        Extension->RangeInMemory = (Descriptor->Flags & CM_RESOURCE_PORT_IO) == 0;
        break;
      case CmResourceTypeInterrupt:
        Extension->InterruptFound = TRUE;
        Extension->InterruptLevel = static_cast<KIRQL>(Descriptor->u.Interrupt.Level);
        Extension->InterruptVector = Descriptor->u.Interrupt.Vector;
        Extension->InterruptAffinity = Descriptor->u.Interrupt.Affinity;
        Extension->InterruptMode = Descriptor->Flags == CM_RESOURCE_INTERRUPT_LATCHED ? Latched : LevelSensitive;
        break;
      case CmResourceTypeMemory:
        if (Extension->RangeFound) {
          Conflict = TRUE;
          break;
        }
        Extension->RangeFound = TRUE;
        Extension->RangeStart = Descriptor->u.Memory.Start;
        Extension->RangeLength = Descriptor->u.Memory.Length;
        Extension->RangeInMemory = TRUE;
        break;
      default:
        Conflict = TRUE;
        break;
    }
  }
  return Conflict ? STATUS_DEVICE_CONFIGURATION_ERROR : STATUS_SUCCESS;
}
