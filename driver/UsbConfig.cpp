// SPDX-License-Identifier: GPL-3.0-or-later
// USB set-up run once when the device is added: the hub port check (with a
// reset when the port is connected but not enabled) and the selection of the
// device's configuration, which yields the pipes reads and writes use.
#include "Bridgewick.h"

namespace {

// Reads the configuration descriptor into Buffer; Received is what the
// device actually sent.
NTSTATUS ReadConfigurationDescriptor(PDEVICE_EXTENSION Extension, PURB Urb, PVOID Buffer, ULONG Length,
                                     ULONG* Received) {
  RtlZeroMemory(Urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST));
  UsbBuildGetDescriptorRequest(Urb, static_cast<USHORT>(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST)),
                               USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, Buffer, nullptr, Length, nullptr);
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
  if (!NT_SUCCESS(Status) || USBD_ERROR(Urb->UrbHeader.Status)) return STATUS_UNSUCCESSFUL;
  *Received = Urb->UrbControlDescriptorRequest.TransferBufferLength;
  if (*Received > Length) *Received = Length;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS CheckAndResetPort(PDEVICE_EXTENSION Extension) {
  ULONG PortStatus = 0;
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &PortStatus);
  if (!NT_SUCCESS(Status)) return Status;
  if (!(PortStatus & USBD_PORT_CONNECTED)) return STATUS_NO_SUCH_DEVICE;
  if (PortStatus & USBD_PORT_ENABLED) return Status;

  Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
  if (!NT_SUCCESS(Status)) return Status;

  PortStatus = 0;
  Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &PortStatus);
  if (!NT_SUCCESS(Status)) return Status;
  if (!(PortStatus & USBD_PORT_CONNECTED) || !(PortStatus & USBD_PORT_ENABLED)) return STATUS_NO_SUCH_DEVICE;
  return Status;
}

NTSTATUS ConfigureDevice(PDEVICE_EXTENSION Extension) {
  PURB Urb = static_cast<PURB>(ExAllocatePool(NonPagedPool, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST)));
  PUSB_CONFIGURATION_DESCRIPTOR Config =
      static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(ExAllocatePool(NonPagedPool, ConfigBufferSize));
  if (Urb == nullptr || Config == nullptr) {
    if (Urb != nullptr) ExFreePool(Urb);
    if (Config != nullptr) ExFreePool(Config);
    return STATUS_INSUFFICIENT_RESOURCES;
  }

  ULONG Received = 0;
  NTSTATUS Status = ReadConfigurationDescriptor(Extension, Urb, Config, ConfigRequestLength, &Received);
  if (NT_SUCCESS(Status) && Received >= sizeof(USB_CONFIGURATION_DESCRIPTOR) && Config->wTotalLength > Received) {
    // A configuration longer than the first request: read it whole, so the
    // interface found below is looked for in the real descriptor.
    ULONG Total = Config->wTotalLength;
    PUSB_CONFIGURATION_DESCRIPTOR Full =
        static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(ExAllocatePool(NonPagedPool, Total));
    if (Full == nullptr) {
      Status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
      ExFreePool(Config);
      Config = Full;
      Status = ReadConfigurationDescriptor(Extension, Urb, Config, Total, &Received);
    }
  }
  ExFreePool(Urb);
  if (NT_SUCCESS(Status) && (Received < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
                             Config->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE)) {
    Status = STATUS_UNSUCCESSFUL;
  }
  if (!NT_SUCCESS(Status)) {
    ExFreePool(Config);
    return Status;
  }
  // Whatever the descriptor claims, only the bytes that arrived are parsed.
  if (Config->wTotalLength > Received) Config->wTotalLength = static_cast<USHORT>(Received);

  PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor =
      USBD_ParseConfigurationDescriptorEx(Config, Config, -1, -1, -1, -1, -1);
  if (InterfaceDescriptor == nullptr) {
    ExFreePool(Config);
    return STATUS_NO_SUCH_DEVICE;
  }

  USBD_INTERFACE_LIST_ENTRY Interfaces[2] = {{InterfaceDescriptor, nullptr}, {nullptr, nullptr}};
  PURB Select = USBD_CreateConfigurationRequestEx(Config, Interfaces);
  if (Select == nullptr) {
    ExFreePool(Config);
    return STATUS_UNSUCCESSFUL;
  }

  Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Select);

  PUSBD_INTERFACE_INFORMATION Interface = Interfaces[0].Interface;
  // The pipe walk stays within the entry the builder sized.
  ULONG PipeRoom = (Interface->Length - offsetof(USBD_INTERFACE_INFORMATION, Pipes)) / sizeof(USBD_PIPE_INFORMATION);
  ULONG Pipes = Interface->NumberOfPipes < PipeRoom ? Interface->NumberOfPipes : PipeRoom;
  for (ULONG Index = 0; Index < Pipes; ++Index) {
    if (Interface->Pipes[Index].EndpointAddress == BulkInEndpoint) Extension->BulkInPipeIndex = Index;
    if (Interface->Pipes[Index].EndpointAddress == BulkOutEndpoint) Extension->BulkOutPipeIndex = Index;
    // Recorded in the driver's copy only; the selection has already gone out.
    Interface->Pipes[Index].MaximumTransferSize = 1024;
    Interface->Pipes[Index].PipeFlags = 0;
  }
  Interface->NumberOfPipes = Pipes;

  PUSBD_INTERFACE_INFORMATION Saved =
      static_cast<PUSBD_INTERFACE_INFORMATION>(ExAllocatePool(NonPagedPool, Interface->Length));
  if (Saved != nullptr) {
    RtlCopyMemory(Saved, Interface, Interface->Length);
    Extension->InterfaceInfo = Saved;
  } else if (NT_SUCCESS(Status)) {
    Status = STATUS_INSUFFICIENT_RESOURCES;
  }

  if (NT_SUCCESS(Status) && USBD_SUCCESS(Select->UrbHeader.Status))
    Extension->ConfigurationHandle = Select->UrbSelectConfiguration.ConfigurationHandle;

  ExFreePool(Select);
  ExFreePool(Config);
  return Status;
}
