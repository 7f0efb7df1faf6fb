// SPDX-License-Identifier: GPL-3.0-or-later
// Driver object set-up, device creation and the entries that need no USB work.
#include "Bridgewick.h"

extern "C" BW_INIT NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
  // Nothing is configured through the registry.
  UNREFERENCED_PARAMETER(RegistryPath);
  DriverObject->DriverExtension->AddDevice = AddDevice;
  DriverObject->DriverUnload = DriverUnload;
  DriverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  DriverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  DriverObject->MajorFunction[IRP_MJ_READ] = DispatchRead;
  DriverObject->MajorFunction[IRP_MJ_WRITE] = DispatchWrite;
  DriverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  DriverObject->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
  DriverObject->MajorFunction[IRP_MJ_POWER] = DispatchPower;
  DriverObject->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
  return STATUS_SUCCESS;
}

BW_PAGEABLE NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject) {
  PAGED_CODE();
  PDEVICE_OBJECT DeviceObject = nullptr;
  // Secure opens: the device's security is checked on every open, also one
  // that names something beyond the device.
  NTSTATUS Status = IoCreateDevice(DriverObject, sizeof(DEVICE_EXTENSION), nullptr, FILE_DEVICE_UNKNOWN,
                                   FILE_REMOVABLE_MEDIA | FILE_DEVICE_SECURE_OPEN, FALSE, &DeviceObject);
  if (!NT_SUCCESS(Status)) return Status;

  DeviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
  DeviceObject->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;

  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  Extension->PhysicalDeviceObject = PhysicalDeviceObject;
  Extension->DeviceObject = DeviceObject;
  Extension->LowerDeviceObject = IoAttachDeviceToDeviceStack(DeviceObject, PhysicalDeviceObject);
  if (Extension->LowerDeviceObject == nullptr) {
    // The stack below is going away; every later request would be sent
    // nowhere, so the device is not added at all.
    IoDeleteDevice(DeviceObject);
    return STATUS_NO_SUCH_DEVICE;
  }

  Extension->IoCount = 1;
  KeInitializeEvent(&Extension->IoIdleEvent, NotificationEvent, FALSE);
  Extension->OpenHandles = 0;
  Extension->ConfigurationHandle = nullptr;
  Extension->Started = FALSE;
  Extension->RejectRequests = TRUE;
  Extension->Draining = FALSE;

  Status = IoRegisterDeviceInterface(PhysicalDeviceObject, &LinkInterfaceClass, nullptr, &Extension->InterfaceName);
  if (!NT_SUCCESS(Status)) {
    IoDetachDevice(Extension->LowerDeviceObject);
    IoDeleteDevice(DeviceObject);
    return Status;
  }

  // A failure in either leaves the device without pipes; reads and writes
  // then fail on their own, so the add itself still succeeds.
  CheckAndResetPort(Extension);
  ConfigureDevice(Extension);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  if (Extension->RejectRequests) return CompleteRequest(Irp, STATUS_DEVICE_NOT_CONNECTED, 0);
  // The device has no namespace below it: a name beyond its own is nothing.
  PFILE_OBJECT File = IoGetCurrentIrpStackLocation(Irp)->FileObject;
  if (File != nullptr && File->FileName.Length != 0) return CompleteRequest(Irp, STATUS_OBJECT_NAME_NOT_FOUND, 0);
  InterlockedIncrement(&Extension->OpenHandles);
  return CompleteRequest(Irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  InterlockedDecrement(&Extension->OpenHandles);
  return CompleteRequest(Irp, STATUS_SUCCESS, 0);
}

// The cable needs no control requests; any that arrive succeed with no data
// so that generic tools probing the device see a well-behaved handle.
NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  UNREFERENCED_PARAMETER(DeviceObject);
  return CompleteRequest(Irp, STATUS_SUCCESS, 0);
}

// Management instrumentation is the bus's business: the requests go down
// as they came, under a reference so that a removal waits for them.
NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  if (!AcquireIo(Extension)) return CompleteRequest(Irp, STATUS_DELETE_PENDING, 0);
  IoSkipCurrentIrpStackLocation(Irp);
  NTSTATUS Status = IoCallDriver(Extension->LowerDeviceObject, Irp);
  ReleaseIo(Extension);
  return Status;
}

// Power is the bus's business: every request goes down as it came.
BW_PAGEABLE NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PAGED_CODE();
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
  PoStartNextPowerIrp(Irp);
  IoSkipCurrentIrpStackLocation(Irp);
  return PoCallDriver(Extension->LowerDeviceObject, Irp);
}

// Device objects go at removal; there is nothing left to undo here.
BW_PAGEABLE void NTAPI DriverUnload(PDRIVER_OBJECT DriverObject) {
  PAGED_CODE();
  UNREFERENCED_PARAMETER(DriverObject);
}
