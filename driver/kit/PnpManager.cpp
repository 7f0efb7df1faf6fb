// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/PnpManager.h"

#include <algorithm>
#include <cstdlib>

#include "driver/kit/Kit.h"
#include "driver/kit/SyncRequest.h"
#include "driver/kit/UsbBus.h"

namespace {

// What the system does with a request for which the driver set no routine.
NTSTATUS NTAPI InvalidDeviceRequest(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  (void)DeviceObject;
  Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  Irp->IoStatus.Information = 0;
  IofCompleteRequest(Irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

size_t DeviceCount(PDRIVER_OBJECT Driver) {
  size_t Count = 0;
  for (PDEVICE_OBJECT Device = Driver->DeviceObject; Device != nullptr; Device = Device->NextDevice) ++Count;
  return Count;
}

const char16_t RegistryPathText[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Bridgewick";

}  // namespace

TPnpManager::TPnpManager(PDRIVER_INITIALIZE Entry) {
  FDriver = static_cast<PDRIVER_OBJECT>(std::calloc(1, sizeof(DRIVER_OBJECT) + sizeof(DRIVER_EXTENSION)));
  FDriver->Type = 4;
  FDriver->Size = sizeof(DRIVER_OBJECT);
  FDriver->DriverExtension = reinterpret_cast<PDRIVER_EXTENSION>(FDriver + 1);
  FDriver->DriverExtension->DriverObject = FDriver;
  FDriver->DriverInit = Entry;
  for (auto& Routine : FDriver->MajorFunction) Routine = InvalidDeviceRequest;
  UNICODE_STRING RegistryPath;
  RtlInitUnicodeString(&RegistryPath, RegistryPathText);
  FEntryStatus = Entry(FDriver, &RegistryPath);
}

TPnpManager::~TPnpManager() {
  while (!FAdded.empty()) Remove(*FAdded.back());
  // A power callback may still be on its way out of the driver's code.
  TKit::WaitForPowerRequests();
  if (FDriver->DeviceObject != nullptr) {
    TKit::Fault("the driver was unloaded with device objects left");
  } else if (FDriver->DriverUnload != nullptr) {
    FDriver->DriverUnload(FDriver);
  }
  std::free(FDriver);
}

NTSTATUS TPnpManager::AddDevice(TUsbBus& Bus) {
  if (FDriver->DriverExtension->AddDevice == nullptr) {
    TKit::Fault("the driver has no AddDevice routine");
    return STATUS_UNSUCCESSFUL;
  }
  PDEVICE_OBJECT Pdo = Bus.PhysicalDevice();
  size_t Before = DeviceCount(FDriver);
  NTSTATUS Status = FDriver->DriverExtension->AddDevice(FDriver, Pdo);
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Pdo);
  if (NT_SUCCESS(Status)) {
    if (Top == Pdo) TKit::Fault("AddDevice succeeded without attaching a device");
    if (Top->Flags & DO_DEVICE_INITIALIZING) TKit::Fault("AddDevice left DO_DEVICE_INITIALIZING set");
    FAdded.push_back(&Bus);
  } else {
    if (Top != Pdo) TKit::Fault("a failed AddDevice left a device attached");
    if (DeviceCount(FDriver) != Before) TKit::Fault("a failed AddDevice left a device object behind");
  }
  return Status;
}

PDEVICE_OBJECT TPnpManager::FunctionDevice(TUsbBus& Bus) const {
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Bus.PhysicalDevice());
  return Top == Bus.PhysicalDevice() ? nullptr : Top;
}

NTSTATUS TPnpManager::SendPnp(TUsbBus& Bus, UCHAR MinorFunction, PCM_RESOURCE_LIST Translated, PCM_RESOURCE_LIST Raw) {
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Bus.PhysicalDevice());
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = KitInternal::AllocateThreadedIrp(Top->StackSize, &IoStatus, &Done, 0);
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->MajorFunction = IRP_MJ_PNP;
  Next->MinorFunction = MinorFunction;
  if (MinorFunction == IRP_MN_START_DEVICE) {
    Next->Parameters.StartDevice.AllocatedResources = Raw;
    Next->Parameters.StartDevice.AllocatedResourcesTranslated = Translated;
  }
  return KitSendAndWait(Top, Irp, &Done, &IoStatus, "a Plug and Play request");
}

NTSTATUS TPnpManager::Start(TUsbBus& Bus, PCM_RESOURCE_LIST Translated, PCM_RESOURCE_LIST Raw) {
  return SendPnp(Bus, IRP_MN_START_DEVICE, Translated, Raw);
}

NTSTATUS TPnpManager::QueryRemove(TUsbBus& Bus) {
  NTSTATUS Status = SendPnp(Bus, IRP_MN_QUERY_REMOVE_DEVICE);
  if (!NT_SUCCESS(Status)) SendPnp(Bus, IRP_MN_CANCEL_REMOVE_DEVICE);
  return Status;
}

NTSTATUS TPnpManager::CancelRemove(TUsbBus& Bus) { return SendPnp(Bus, IRP_MN_CANCEL_REMOVE_DEVICE); }

NTSTATUS TPnpManager::Remove(TUsbBus& Bus) {
  PDEVICE_OBJECT Function = FunctionDevice(Bus);
  NTSTATUS Status = SendPnp(Bus, IRP_MN_REMOVE_DEVICE);
  if (FunctionDevice(Bus) != nullptr) TKit::Fault("the removal left the driver's device attached");
  if (Function != nullptr && KitInternal::IsLiveDevice(Function)) TKit::Fault("the removal left the device object");
  FAdded.erase(std::remove(FAdded.begin(), FAdded.end(), &Bus), FAdded.end());
  return Status;
}

NTSTATUS TPnpManager::QueryStop(TUsbBus& Bus) {
  NTSTATUS Status = SendPnp(Bus, IRP_MN_QUERY_STOP_DEVICE);
  if (!NT_SUCCESS(Status)) SendPnp(Bus, IRP_MN_CANCEL_STOP_DEVICE);
  return Status;
}

NTSTATUS TPnpManager::CancelStop(TUsbBus& Bus) { return SendPnp(Bus, IRP_MN_CANCEL_STOP_DEVICE); }

NTSTATUS TPnpManager::Stop(TUsbBus& Bus) { return SendPnp(Bus, IRP_MN_STOP_DEVICE); }

NTSTATUS TPnpManager::SurpriseRemoval(TUsbBus& Bus) { return SendPnp(Bus, IRP_MN_SURPRISE_REMOVAL); }

NTSTATUS TPnpManager::Send(TUsbBus& Bus, UCHAR MinorFunction) { return SendPnp(Bus, MinorFunction); }

NTSTATUS TPnpManager::Power(TUsbBus& Bus, UCHAR MinorFunction, POWER_STATE_TYPE Type, POWER_STATE State,
                            POWER_ACTION ShutdownType, ULONG SystemContext, PIRP* Sent) {
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Bus.PhysicalDevice());
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = KitInternal::AllocateThreadedIrp(Top->StackSize, &IoStatus, &Done, 0);
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->MajorFunction = IRP_MJ_POWER;
  Next->MinorFunction = MinorFunction;
  Next->Parameters.Power.SystemContext = SystemContext;
  Next->Parameters.Power.Type = Type;
  Next->Parameters.Power.State = State;
  Next->Parameters.Power.ShutdownType = ShutdownType;
  if (Sent != nullptr) *Sent = Irp;
  return KitSendAndWait(Top, Irp, &Done, &IoStatus, "a power request");
}
