// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// USB descriptors and request blocks (URBs) as USB client drivers use them.
#include "wdm.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- descriptors (packed, as they travel on the bus) -----------------------
#define USB_DEVICE_DESCRIPTOR_TYPE 0x01
#define USB_CONFIGURATION_DESCRIPTOR_TYPE 0x02
#define USB_STRING_DESCRIPTOR_TYPE 0x03
#define USB_INTERFACE_DESCRIPTOR_TYPE 0x04
#define USB_ENDPOINT_DESCRIPTOR_TYPE 0x05

#define USB_ENDPOINT_TYPE_MASK 0x03
#define USB_ENDPOINT_TYPE_CONTROL 0x00
#define USB_ENDPOINT_TYPE_ISOCHRONOUS 0x01
#define USB_ENDPOINT_TYPE_BULK 0x02
#define USB_ENDPOINT_TYPE_INTERRUPT 0x03
#define USB_ENDPOINT_DIRECTION_IN(Address) ((Address) & 0x80)

#pragma pack(push, 1)
typedef struct _USB_COMMON_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
} USB_COMMON_DESCRIPTOR, *PUSB_COMMON_DESCRIPTOR;

typedef struct _USB_DEVICE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT bcdUSB;
  UCHAR bDeviceClass;
  UCHAR bDeviceSubClass;
  UCHAR bDeviceProtocol;
  UCHAR bMaxPacketSize0;
  USHORT idVendor;
  USHORT idProduct;
  USHORT bcdDevice;
  UCHAR iManufacturer;
  UCHAR iProduct;
  UCHAR iSerialNumber;
  UCHAR bNumConfigurations;
} USB_DEVICE_DESCRIPTOR, *PUSB_DEVICE_DESCRIPTOR;

typedef struct _USB_CONFIGURATION_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT wTotalLength;
  UCHAR bNumInterfaces;
  UCHAR bConfigurationValue;
  UCHAR iConfiguration;
  UCHAR bmAttributes;
  UCHAR MaxPower;
} USB_CONFIGURATION_DESCRIPTOR, *PUSB_CONFIGURATION_DESCRIPTOR;

typedef struct _USB_INTERFACE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bInterfaceNumber;
  UCHAR bAlternateSetting;
  UCHAR bNumEndpoints;
  UCHAR bInterfaceClass;
  UCHAR bInterfaceSubClass;
  UCHAR bInterfaceProtocol;
  UCHAR iInterface;
} USB_INTERFACE_DESCRIPTOR, *PUSB_INTERFACE_DESCRIPTOR;

typedef struct _USB_ENDPOINT_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  UCHAR bEndpointAddress;
  UCHAR bmAttributes;
  USHORT wMaxPacketSize;
  UCHAR bInterval;
} USB_ENDPOINT_DESCRIPTOR, *PUSB_ENDPOINT_DESCRIPTOR;
#pragma pack(pop)

static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9, "descriptor layout");
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9, "descriptor layout");
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7, "descriptor layout");
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18, "descriptor layout");

// ---- USBD statuses -------------------------------------------------------------
typedef LONG USBD_STATUS;
#define USBD_SUCCESS(Status) ((USBD_STATUS)(Status) >= 0)
#define USBD_PENDING(Status) ((ULONG)(Status) >> 30 == 1)
#define USBD_ERROR(Status) ((USBD_STATUS)(Status) < 0)
#define USBD_STATUS_SUCCESS ((USBD_STATUS)0x00000000)
#define USBD_STATUS_PENDING ((USBD_STATUS)0x40000000)
#define USBD_STATUS_STALL_PID ((USBD_STATUS)0xC0000004)
#define USBD_STATUS_DEV_NOT_RESPONDING ((USBD_STATUS)0xC0000005)
#define USBD_STATUS_DATA_OVERRUN ((USBD_STATUS)0xC0000008)
#define USBD_STATUS_ERROR_SHORT_TRANSFER ((USBD_STATUS)0xC0000012)
#define USBD_STATUS_INVALID_URB_FUNCTION ((USBD_STATUS)0x80000200)
#define USBD_STATUS_INVALID_PARAMETER ((USBD_STATUS)0x80000300)
#define USBD_STATUS_REQUEST_FAILED ((USBD_STATUS)0x80000500)
#define USBD_STATUS_INVALID_PIPE_HANDLE ((USBD_STATUS)0x80000600)
#define USBD_STATUS_CANCELED ((USBD_STATUS)0xC0010000)
#define USBD_STATUS_DEVICE_GONE ((USBD_STATUS)0xC0007000)
#define USBD_STATUS_BUFFER_TOO_SMALL ((USBD_STATUS)0xC0003000)
#define USBD_STATUS_INSUFFICIENT_RESOURCES ((USBD_STATUS)0xC0001000)

// ---- pipes and interfaces ------------------------------------------------------
typedef PVOID USBD_PIPE_HANDLE;
typedef PVOID USBD_CONFIGURATION_HANDLE;
typedef PVOID USBD_INTERFACE_HANDLE;

typedef enum _USBD_PIPE_TYPE {
  UsbdPipeTypeControl, UsbdPipeTypeIsochronous, UsbdPipeTypeBulk, UsbdPipeTypeInterrupt
} USBD_PIPE_TYPE;

#define USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE 4096

typedef struct _USBD_PIPE_INFORMATION {
  USHORT MaximumPacketSize;
  UCHAR EndpointAddress;
  UCHAR Interval;
  USBD_PIPE_TYPE PipeType;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG MaximumTransferSize;
  ULONG PipeFlags;
} USBD_PIPE_INFORMATION, *PUSBD_PIPE_INFORMATION;

typedef struct _USBD_INTERFACE_INFORMATION {
  USHORT Length;
  UCHAR InterfaceNumber;
  UCHAR AlternateSetting;
  UCHAR Class;
  UCHAR SubClass;
  UCHAR Protocol;
  UCHAR Reserved;
  USBD_INTERFACE_HANDLE InterfaceHandle;
  ULONG NumberOfPipes;
  USBD_PIPE_INFORMATION Pipes[1];
} USBD_INTERFACE_INFORMATION, *PUSBD_INTERFACE_INFORMATION;

#define GET_USBD_INTERFACE_SIZE(NumEndpoints) \
  (sizeof(USBD_INTERFACE_INFORMATION) + sizeof(USBD_PIPE_INFORMATION) * (NumEndpoints) - sizeof(USBD_PIPE_INFORMATION))

// ---- request blocks ------------------------------------------------------------
#define URB_FUNCTION_SELECT_CONFIGURATION 0x0000
#define URB_FUNCTION_SELECT_INTERFACE 0x0001
#define URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER 0x0009
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE 0x000B
#define URB_FUNCTION_RESET_PIPE 0x001E
#define URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL 0x001E

#define USBD_TRANSFER_DIRECTION_OUT 0
#define USBD_TRANSFER_DIRECTION_IN 1
#define USBD_SHORT_TRANSFER_OK 2

struct _URB;

struct _URB_HCD_AREA {
  PVOID Reserved8[8];
};

struct _URB_HEADER {
  USHORT Length;
  USHORT Function;
  USBD_STATUS Status;
  PVOID UsbdDeviceHandle;
  ULONG UsbdFlags;
};

struct _URB_SELECT_CONFIGURATION {
  struct _URB_HEADER Hdr;
  PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor;
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  USBD_INTERFACE_INFORMATION Interface;
};

struct _URB_PIPE_REQUEST {
  struct _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG Reserved;
};

struct _URB_CONTROL_DESCRIPTOR_REQUEST {
  struct _URB_HEADER Hdr;
  PVOID Reserved;
  ULONG Reserved0;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  struct _URB* UrbLink;
  struct _URB_HCD_AREA hca;
  USHORT Reserved1;
  UCHAR Index;
  UCHAR DescriptorType;
  USHORT LanguageId;
  USHORT Reserved2;
};

struct _URB_BULK_OR_INTERRUPT_TRANSFER {
  struct _URB_HEADER Hdr;
  USBD_PIPE_HANDLE PipeHandle;
  ULONG TransferFlags;
  ULONG TransferBufferLength;
  PVOID TransferBuffer;
  PMDL TransferBufferMDL;
  struct _URB* UrbLink;
  struct _URB_HCD_AREA hca;
};

typedef struct _URB {
  union {
    struct _URB_HEADER UrbHeader;
    struct _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
    struct _URB_PIPE_REQUEST UrbPipeRequest;
    struct _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
    struct _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
  };
} URB, *PURB;

#define GET_SELECT_CONFIGURATION_REQUEST_SIZE(TotalInterfaces, TotalPipes)                     \
  (sizeof(struct _URB_SELECT_CONFIGURATION) +                                                  \
   ((TotalInterfaces) - 1) * sizeof(USBD_INTERFACE_INFORMATION) +                              \
   ((TotalPipes) - (TotalInterfaces)) * sizeof(USBD_PIPE_INFORMATION))

#ifdef __cplusplus
}
#endif
