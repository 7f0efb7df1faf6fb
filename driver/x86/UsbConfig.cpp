// SPDX-License-Identifier: GPL-3.0-or-later
// USB set-up at start: the configuration descriptor read at its full
// length, the selection of the first interface with the stage size as every
// pipe's transfer size, and the port and pipe resets.
#include "driver/x86/Bridgewick.h"

namespace {

// Reads the configuration descriptor into Buffer; Received is what the
// device actually sent.
NTSTATUS ReadConfiguration(PDEVICE_EXTENSION Extension, PURB Urb, PVOID Buffer, ULONG Length, ULONG* Received) {
  RtlZeroMemory(Urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST));
  UsbBuildGetDescriptorRequest(Urb, static_cast<USHORT>(sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST)),
                               USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, Buffer, nullptr, Length, nullptr);
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
  if (!NT_SUCCESS(Status)) return Status;
  if (USBD_ERROR(Urb->UrbHeader.Status)) return STATUS_UNSUCCESSFUL;
  *Received = Urb->UrbControlDescriptorRequest.TransferBufferLength;
  if (*Received > Length) *Received = Length;
  return STATUS_SUCCESS;
}

}  // namespace

BW_PAGEABLE NTSTATUS GetConfigurationDescriptor(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  if (Extension->ConfigurationDescriptor != nullptr) {
    ExFreePoolWithTag(Extension->ConfigurationDescriptor, PoolTag);
    Extension->ConfigurationDescriptor = nullptr;
  }
  PURB Urb = static_cast<PURB>(
      ExAllocatePoolWithTag(NonPagedPool, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), PoolTag));
  if (Urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

  ULONG Size = ConfigurationBufferSize;
  ULONG Received = 0;
  PUSB_CONFIGURATION_DESCRIPTOR Config = nullptr;
  NTSTATUS Status;
  for (;;) {
    Config = static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(ExAllocatePoolWithTag(NonPagedPool, Size, PoolTag));
    if (Config == nullptr) {
      Status = STATUS_INSUFFICIENT_RESOURCES;
      break;
    }
    Status = ReadConfiguration(Extension, Urb, Config, Size, &Received);
    // A failed read leaves nothing worth parsing: the start fails.
    if (!NT_SUCCESS(Status)) break;
    if (Received < sizeof(USB_CONFIGURATION_DESCRIPTOR) || Config->wTotalLength <= Size) break;
    // Longer than the buffer: read again at the full length. Each round
    // only grows, and wTotalLength is at most 65535, so this ends.
    Size = Config->wTotalLength;
    ExFreePoolWithTag(Config, PoolTag);
    Config = nullptr;
  }
  ExFreePoolWithTag(Urb, PoolTag);
  if (NT_SUCCESS(Status) &&
      (Received < sizeof(USB_CONFIGURATION_DESCRIPTOR) || Config->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE))
    Status = STATUS_DEVICE_DATA_ERROR;
  if (!NT_SUCCESS(Status)) {
    if (Config != nullptr) ExFreePoolWithTag(Config, PoolTag);
    return Status;
  }
  // Whatever the descriptor claims, only the bytes that arrived are used.
  if (Config->wTotalLength > Received) Config->wTotalLength = static_cast<USHORT>(Received);
  Extension->ConfigurationDescriptor = Config;
  return STATUS_SUCCESS;
}

BW_PAGEABLE NTSTATUS SelectConfiguration(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  PUSB_CONFIGURATION_DESCRIPTOR Config = Extension->ConfigurationDescriptor;
  if (USBD_ParseConfigurationDescriptorEx(Config, Config, -1, -1, -1, -1, -1) == nullptr)
    return STATUS_INSUFFICIENT_RESOURCES;
  USHORT Size = 0;
  PURB Urb = USBD_CreateConfigurationRequest(Config, &Size);
  if (Urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;

  PUSBD_INTERFACE_INFORMATION Interface = &Urb->UrbSelectConfiguration.Interface;
  for (ULONG Index = 0; Index < Interface->NumberOfPipes; ++Index)
    Interface->Pipes[Index].MaximumTransferSize = Extension->StageSize;
  Urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  Urb->UrbHeader.Length = Size;

  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
  if (NT_SUCCESS(Status) && USBD_ERROR(Urb->UrbHeader.Status)) Status = STATUS_UNSUCCESSFUL;
  if (NT_SUCCESS(Status)) {
    PUSBD_INTERFACE_INFORMATION Saved =
        static_cast<PUSBD_INTERFACE_INFORMATION>(ExAllocatePoolWithTag(NonPagedPool, Interface->Length, PoolTag));
    if (Saved == nullptr) {
      Status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
      RtlCopyMemory(Saved, Interface, Interface->Length);
      if (Extension->InterfaceInfo != nullptr) ExFreePoolWithTag(Extension->InterfaceInfo, PoolTag);
      Extension->InterfaceInfo = Saved;
      Extension->ConfigurationHandle = Urb->UrbSelectConfiguration.ConfigurationHandle;
      Extension->BulkInPipe = nullptr;
      Extension->BulkOutPipe = nullptr;
      for (ULONG Index = 0; Index < Saved->NumberOfPipes; ++Index) {
        if (Saved->Pipes[Index].EndpointAddress == BulkInEndpoint) Extension->BulkInPipe = Saved->Pipes[Index].PipeHandle;
        if (Saved->Pipes[Index].EndpointAddress == BulkOutEndpoint)
          Extension->BulkOutPipe = Saved->Pipes[Index].PipeHandle;
      }
    }
  }
  ExFreePool(Urb);
  return Status;
}

BW_PAGEABLE NTSTATUS ResetDevice(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  ULONG PortStatus = 0;
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &PortStatus);
  if (NT_SUCCESS(Status) && (PortStatus & USBD_PORT_CONNECTED) && !(PortStatus & USBD_PORT_ENABLED))
    Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_RESET_PORT, nullptr);
  return Status;
}

BW_PAGEABLE NTSTATUS ResetPipe(PDEVICE_EXTENSION Extension, USBD_PIPE_HANDLE Pipe) {
  PAGED_CODE();
  PURB Urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, sizeof(struct _URB_PIPE_REQUEST), PoolTag));
  if (Urb == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  RtlZeroMemory(Urb, sizeof(struct _URB_PIPE_REQUEST));
  Urb->UrbHeader.Length = static_cast<USHORT>(sizeof(struct _URB_PIPE_REQUEST));
  Urb->UrbHeader.Function = URB_FUNCTION_RESET_PIPE;
  Urb->UrbPipeRequest.PipeHandle = Pipe;
  NTSTATUS Status = CallUsbdSync(Extension->LowerDeviceObject, IOCTL_INTERNAL_USB_SUBMIT_URB, Urb);
  if (NT_SUCCESS(Status) && USBD_ERROR(Urb->UrbHeader.Status)) Status = STATUS_UNSUCCESSFUL;
  ExFreePoolWithTag(Urb, PoolTag);
  return Status;
}
