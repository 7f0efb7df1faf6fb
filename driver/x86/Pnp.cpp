// SPDX-License-Identifier: GPL-3.0-or-later
// Plug and Play: start (with the USB set-up), the query/cancel pairs, stop,
// surprise removal and removal, with the gate that keeps new work away from
// a device that is not running.
#include "driver/x86/Bridgewick.h"

namespace {

// Hands the request down as it came.
NTSTATUS PassDown(PDEVICE_EXTENSION Extension, PIRP Irp) {
  IoCopyCurrentIrpStackLocationToNext(Irp);
  return IoCallDriver(Extension->LowerDeviceObject, Irp);
}

// Hands the request down as one this driver agrees to.
NTSTATUS PassDownWithSuccess(PDEVICE_EXTENSION Extension, PIRP Irp) {
  Irp->IoStatus.Status = STATUS_SUCCESS;
  return PassDown(Extension, Irp);
}


}  // namespace

BW_PAGEABLE NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PAGED_CODE();
  PDEVICE_EXTENSION Extension = ExtensionOf(DeviceObject);
  AcquireIo(Extension);

  NTSTATUS Status;
  switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction) {
    case IRP_MN_START_DEVICE:
      Status = ForwardAndWait(Extension->LowerDeviceObject, Irp);
      if (NT_SUCCESS(Status)) Status = StartDevice(Extension);
      Status = CompleteRequest(Irp, Status, 0);
      break;

    case IRP_MN_QUERY_STOP_DEVICE: {
      if (!Extension->Started) {
        Status = PassDown(Extension, Irp);
        break;
      }
      BOOLEAN Busy = !CloseGateIfIdle(Extension, &Extension->QueryStopPending);
      Status = Busy ? CompleteRequest(Irp, STATUS_UNSUCCESSFUL, 0) : PassDownWithSuccess(Extension, Irp);
      break;
    }

    case IRP_MN_CANCEL_STOP_DEVICE:
      if (!Extension->Started) {
        Status = PassDown(Extension, Irp);
        break;
      }
      SetGate(Extension, &Extension->QueryStopPending, FALSE);
      Status = PassDownWithSuccess(Extension, Irp);
      break;

    case IRP_MN_STOP_DEVICE:
      // Closed here too, in case the stop came without its query.
      SetGate(Extension, &Extension->QueryStopPending, TRUE);
      CancelStages(Extension);
      // The next start frees and replaces the descriptors and the pipes:
      // whatever still uses them (a control code copying the configuration
      // descriptor, a reset) finishes first, as before a removal.
      DrainRequests(Extension);
      Status = StopDevice(Extension);
      Status = NT_SUCCESS(Status) ? PassDownWithSuccess(Extension, Irp) : CompleteRequest(Irp, Status, 0);
      break;

    case IRP_MN_QUERY_REMOVE_DEVICE:
      // Transfers in progress are not waited for here: the removal that
      // follows cancels the stages and waits for everything still running.
      if (!Extension->Started) {
        Status = PassDown(Extension, Irp);
        break;
      }
      SetGate(Extension, &Extension->QueryRemovePending, TRUE);
      Status = PassDownWithSuccess(Extension, Irp);
      break;

    case IRP_MN_CANCEL_REMOVE_DEVICE:
      if (!Extension->Started) {
        Status = PassDown(Extension, Irp);
        break;
      }
      SetGate(Extension, &Extension->QueryRemovePending, FALSE);
      Status = PassDownWithSuccess(Extension, Irp);
      break;

    case IRP_MN_SURPRISE_REMOVAL:
      ReleaseIo(Extension);
      SetGate(Extension, &Extension->RemovePending, TRUE);
      CancelStages(Extension);
      return PassDownWithSuccess(Extension, Irp);

    case IRP_MN_REMOVE_DEVICE:
      ReleaseIo(Extension);
      SetGate(Extension, &Extension->RemovePending, TRUE);
      CancelStages(Extension);
      Status = PassDown(Extension, Irp);
      // The device's own reference: once every request in progress has
      // given its reference back, nothing can reach the extension any more.
      ReleaseIo(Extension);
      KeWaitForSingleObject(&Extension->RemoveEvent, Suspended, KernelMode, FALSE, nullptr);
      ReleaseDeviceResources(Extension);
      IoDetachDevice(Extension->LowerDeviceObject);
      IoDeleteDevice(DeviceObject);
      return Status;

    default:
      Status = PassDown(Extension, Irp);
      break;
  }
  ReleaseIo(Extension);
  return Status;
}

BW_PAGEABLE NTSTATUS StartDevice(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  // A start after a stop reads everything afresh.
  if (Extension->DeviceDescriptor != nullptr) {
    ExFreePoolWithTag(Extension->DeviceDescriptor, PoolTag);
    Extension->DeviceDescriptor = nullptr;
  }

  PURB Urb = static_cast<PURB>(
      ExAllocatePoolWithTag(NonPagedPool, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), PoolTag));
  if (Urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  PUSB_DEVICE_DESCRIPTOR Device =
      static_cast<PUSB_DEVICE_DESCRIPTOR>(ExAllocatePoolWithTag(NonPagedPool, sizeof(USB_DEVICE_DESCRIPTOR), PoolTag));
  if (Device == nullptr) {
    ExFreePoolWithTag(Urb, PoolTag);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  RtlZeroMemory(Urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST));
  UsbBuildGetDescriptorRequest(Urb, static_cast<USHORT>(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST)),
                               USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, Device, nullptr, sizeof(USB_DEVICE_DESCRIPTOR),
                               nullptr);
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
  if (NT_SUCCESS(Status) && USBD_ERROR(Urb->UrbHeader.Status)) Status = STATUS_UNSUCCESSFUL;
  ExFreePoolWithTag(Urb, PoolTag);
  if (!NT_SUCCESS(Status)) {
    ExFreePoolWithTag(Device, PoolTag);
    return Status;
  }
  Extension->DeviceDescriptor = Device;

  Status = GetConfigurationDescriptor(Extension);
  if (!NT_SUCCESS(Status)) return Status;
  Status = SelectConfiguration(Extension);
  if (!NT_SUCCESS(Status)) return Status;
  Extension->Started = TRUE;
  return STATUS_SUCCESS;
}

BW_PAGEABLE NTSTATUS StopDevice(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  NTSTATUS Status;
  ULONG Size = sizeof(struct _URB_SELECT_CONFIGURATION);
  PURB Urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, Size, PoolTag));
  if (Urb == nullptr) {
    Status = STATUS_INSUFFICIENT_RESOURCES;
  } else {
    // A selection without a configuration puts the device back in the
    // unconfigured state.
    RtlZeroMemory(Urb, Size);
    Urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    Urb->UrbHeader.Length = static_cast<USHORT>(Size);
    Urb->UrbSelectConfiguration.ConfigurationDescriptor = nullptr;
    Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
    ExFreePoolWithTag(Urb, PoolTag);
  }
  if (NT_SUCCESS(Status)) Extension->Started = FALSE;
  SetGate(Extension, &Extension->QueryStopPending, FALSE);
  return Status;
}

BW_PAGEABLE void ReleaseDeviceResources(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  UNICODE_STRING Link;
  RtlInitUnicodeString(&Link, Extension->InterfaceLinkName);
  IoSetDeviceInterfaceState(&Link, FALSE);
  PVOID* Blocks[] = {reinterpret_cast<PVOID*>(&Extension->DeviceDescriptor),
                     reinterpret_cast<PVOID*>(&Extension->InterfaceInfo),
                     reinterpret_cast<PVOID*>(&Extension->ConfigurationDescriptor),
                     reinterpret_cast<PVOID*>(&Extension->StageArray[0]),
                     reinterpret_cast<PVOID*>(&Extension->StageArray[1])};
  for (PVOID* Block : Blocks) {
    if (*Block == nullptr) continue;
    ExFreePoolWithTag(*Block, PoolTag);
    *Block = nullptr;
  }
}
