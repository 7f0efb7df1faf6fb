// SPDX-License-Identifier: GPL-3.0-or-later
// The USB driver library's descriptor helpers, as USBD.SYS offers them.
#include <wdm.h>
#include <usbdlib.h>

#include "driver/kit/Kit.h"

namespace {

bool Matches(LONG Wanted, UCHAR Value) { return Wanted == -1 || Wanted == Value; }

}  // namespace

extern "C" PUSB_INTERFACE_DESCRIPTOR NTAPI USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor, PVOID StartPosition, LONG InterfaceNumber,
    LONG AlternateSetting, LONG InterfaceClass, LONG InterfaceSubClass, LONG InterfaceProtocol) {
  KitInternal::RequireIrql("USBD_ParseConfigurationDescriptorEx");
  ULONG Total = ConfigurationDescriptor->wTotalLength;
  ULONG Received = 0;
  if (KitInternal::DeliveredBytes(ConfigurationDescriptor, &Received) && Total > Received)
    TKit::Fault("a configuration descriptor of " + std::to_string(Total) + " bytes parsed when only " +
                std::to_string(Received) + " were received");
  PUCHAR Position = static_cast<PUCHAR>(StartPosition);
  PUCHAR End = reinterpret_cast<PUCHAR>(ConfigurationDescriptor) + Total;
  while (Position + sizeof(USB_COMMON_DESCRIPTOR) <= End) {
    auto* Common = reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(Position);
    if (Common->bLength == 0 || Position + Common->bLength > End) break;
    if (Common->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE && Common->bLength >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
      auto* Interface = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(Position);
      if (Matches(InterfaceNumber, Interface->bInterfaceNumber) && Matches(AlternateSetting, Interface->bAlternateSetting) &&
          Matches(InterfaceClass, Interface->bInterfaceClass) && Matches(InterfaceSubClass, Interface->bInterfaceSubClass) &&
          Matches(InterfaceProtocol, Interface->bInterfaceProtocol))
        return Interface;
    }
    Position += Common->bLength;
  }
  return nullptr;
}

extern "C" PURB NTAPI USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                        PUSBD_INTERFACE_LIST_ENTRY InterfaceList) {
  KitInternal::RequireIrql("USBD_CreateConfigurationRequestEx");
  size_t Bytes = offsetof(struct _URB_SELECT_CONFIGURATION, Interface);
  ULONG Interfaces = 0;
  for (PUSBD_INTERFACE_LIST_ENTRY Entry = InterfaceList; Entry->InterfaceDescriptor != nullptr; ++Entry, ++Interfaces)
    Bytes += GET_USBD_INTERFACE_SIZE(Entry->InterfaceDescriptor->bNumEndpoints);
  if (Interfaces == 0) return nullptr;
  if (Bytes < sizeof(struct _URB_SELECT_CONFIGURATION)) Bytes = sizeof(struct _URB_SELECT_CONFIGURATION);

  auto* Urb = static_cast<PURB>(ExAllocatePool(NonPagedPool, Bytes));
  if (Urb == nullptr) return nullptr;
  RtlZeroMemory(Urb, Bytes);
  Urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
  Urb->UrbHeader.Length = static_cast<USHORT>(Bytes);
  Urb->UrbSelectConfiguration.ConfigurationDescriptor = ConfigurationDescriptor;

  auto* Info = &Urb->UrbSelectConfiguration.Interface;
  for (PUSBD_INTERFACE_LIST_ENTRY Entry = InterfaceList; Entry->InterfaceDescriptor != nullptr; ++Entry) {
    PUSB_INTERFACE_DESCRIPTOR Descriptor = Entry->InterfaceDescriptor;
    Info->Length = static_cast<USHORT>(GET_USBD_INTERFACE_SIZE(Descriptor->bNumEndpoints));
    Info->InterfaceNumber = Descriptor->bInterfaceNumber;
    Info->AlternateSetting = Descriptor->bAlternateSetting;
    Info->NumberOfPipes = Descriptor->bNumEndpoints;
    for (ULONG Pipe = 0; Pipe < Info->NumberOfPipes; ++Pipe) {
      Info->Pipes[Pipe].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
      Info->Pipes[Pipe].PipeFlags = 0;
    }
    Entry->Interface = Info;
    Info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(reinterpret_cast<PUCHAR>(Info) + Info->Length);
  }
  return Urb;
}

extern "C" PURB NTAPI USBD_CreateConfigurationRequest(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                      PUSHORT Siz) {
  KitInternal::RequireIrql("USBD_CreateConfigurationRequest");
  *Siz = 0;
  USBD_INTERFACE_LIST_ENTRY List[2] = {
      {USBD_ParseConfigurationDescriptorEx(ConfigurationDescriptor, ConfigurationDescriptor, -1, 0, -1, -1, -1), nullptr},
      {nullptr, nullptr}};
  if (List[0].InterfaceDescriptor == nullptr) return nullptr;
  PURB Urb = USBD_CreateConfigurationRequestEx(ConfigurationDescriptor, List);
  if (Urb != nullptr) *Siz = Urb->UrbHeader.Length;
  return Urb;
}

// The interface version of a USB 2.0 stack.
extern "C" void NTAPI USBD_GetUSBDIVersion(PUSBD_VERSION_INFORMATION VersionInformation) {
  KitInternal::RequireIrql("USBD_GetUSBDIVersion");
  VersionInformation->USBDI_Version = 0x500;
  VersionInformation->Supported_USB_Version = 0x200;
}
