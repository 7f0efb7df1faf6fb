// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The USB driver library's helpers (USBD.SYS): descriptor parsing and the
// building of configuration-selection requests.
#include "usb.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _USBD_INTERFACE_LIST_ENTRY {
  PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor;
  PUSBD_INTERFACE_INFORMATION Interface;
} USBD_INTERFACE_LIST_ENTRY, *PUSBD_INTERFACE_LIST_ENTRY;

// Finds the first interface descriptor at or after StartPosition, within the
// configuration's wTotalLength, that matches every criterion not -1.
PUSB_INTERFACE_DESCRIPTOR NTAPI USBD_ParseConfigurationDescriptorEx(
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor, PVOID StartPosition, LONG InterfaceNumber,
    LONG AlternateSetting, LONG InterfaceClass, LONG InterfaceSubClass, LONG InterfaceProtocol);

// Allocates (non-paged pool) and fills a select-configuration URB for the
// interfaces listed; each entry's Interface is set to point into the URB.
// NULL when the list is empty or the pool is exhausted.
PURB NTAPI USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                             PUSBD_INTERFACE_LIST_ENTRY InterfaceList);

typedef struct _USBD_VERSION_INFORMATION {
  ULONG USBDI_Version;
  ULONG Supported_USB_Version;
} USBD_VERSION_INFORMATION, *PUSBD_VERSION_INFORMATION;

void NTAPI USBD_GetUSBDIVersion(PUSBD_VERSION_INFORMATION VersionInformation);

PURB NTAPI USBD_CreateConfigurationRequest(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor, PUSHORT Siz);

#define UsbBuildInterruptOrBulkTransferRequest(urb, length, pipeHandle, transferBuffer, transferBufferMDL,     \
                                               transferBufferLength, transferFlags, link)                      \
  {                                                                                                            \
    (urb)->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;                                       \
    (urb)->UrbHeader.Length = (length);                                                                        \
    (urb)->UrbBulkOrInterruptTransfer.PipeHandle = (pipeHandle);                                               \
    (urb)->UrbBulkOrInterruptTransfer.TransferBufferLength = (transferBufferLength);                           \
    (urb)->UrbBulkOrInterruptTransfer.TransferBufferMDL = (transferBufferMDL);                                 \
    (urb)->UrbBulkOrInterruptTransfer.TransferBuffer = (transferBuffer);                                       \
    (urb)->UrbBulkOrInterruptTransfer.TransferFlags = (transferFlags);                                         \
    (urb)->UrbBulkOrInterruptTransfer.UrbLink = (link);                                                        \
  }

#define UsbBuildGetDescriptorRequest(urb, length, descriptorType, descriptorIndex, languageId, transferBuffer,  \
                                     transferBufferMDL, transferBufferLength, link)                            \
  {                                                                                                            \
    (urb)->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;                                       \
    (urb)->UrbHeader.Length = (length);                                                                        \
    (urb)->UrbControlDescriptorRequest.TransferBufferLength = (transferBufferLength);                          \
    (urb)->UrbControlDescriptorRequest.TransferBufferMDL = (transferBufferMDL);                                \
    (urb)->UrbControlDescriptorRequest.TransferBuffer = (transferBuffer);                                      \
    (urb)->UrbControlDescriptorRequest.DescriptorType = (descriptorType);                                      \
    (urb)->UrbControlDescriptorRequest.Index = (descriptorIndex);                                              \
    (urb)->UrbControlDescriptorRequest.LanguageId = (languageId);                                              \
    (urb)->UrbControlDescriptorRequest.UrbLink = (link);                                                       \
  }

#ifdef __cplusplus
}
#endif
