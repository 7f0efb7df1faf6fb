// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bridgewick: the kernel-mode function driver of the Bridgewick Cable. Every
// write on an open handle becomes one bulk OUT transfer to endpoint 0x02 and
// every read one bulk IN transfer from endpoint 0x81; nothing is added,
// checked or kept between requests.
#include "driver/BridgewickCommon.h"

// The configuration descriptor is first asked for with the length of one
// configuration, one interface and three endpoints (9 + 9 + 3 * 7), into a
// buffer with room to spare.
constexpr ULONG ConfigRequestLength = 39;
constexpr ULONG ConfigBufferSize = 55;

// Per-device state; the driver keeps nothing anywhere else.
typedef struct _DEVICE_EXTENSION {
  PDEVICE_OBJECT DeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  PDEVICE_OBJECT LowerDeviceObject;
  UNICODE_STRING InterfaceName;
  BOOLEAN Started;
  BOOLEAN RejectRequests;
  LONG OpenHandles;                     // interlocked only
  LONG IoCount;                         // interlocked only; 1 while idle
  BOOLEAN Draining;
  KEVENT IoIdleEvent;
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  ULONG BulkInPipeIndex;
  ULONG BulkOutPipeIndex;
  PUSBD_INTERFACE_INFORMATION InterfaceInfo;
  BOOLEAN RangeFound;
  BOOLEAN RangeInIoSpace;
  BOOLEAN RangeInMemory;
  PHYSICAL_ADDRESS RangeStart;
  ULONG RangeLength;
  BOOLEAN InterruptFound;
  ULONG InterruptVector;
  KIRQL InterruptLevel;
  KINTERRUPT_MODE InterruptMode;
  KAFFINITY InterruptAffinity;
} DEVICE_EXTENSION, *PDEVICE_EXTENSION;

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject);
void NTAPI DriverUnload(PDRIVER_OBJECT DriverObject);
NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchWrite(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp);

NTSTATUS HandleStartDevice(PDEVICE_EXTENSION Extension, PIRP Irp);
void DrainIo(PDEVICE_EXTENSION Extension);
NTSTATUS ParseResources(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Resources);

BOOLEAN AcquireIo(PDEVICE_EXTENSION Extension);
void ReleaseIo(PDEVICE_EXTENSION Extension);

NTSTATUS BulkTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice);
NTSTATUS CheckAndResetPort(PDEVICE_EXTENSION Extension);
NTSTATUS ConfigureDevice(PDEVICE_EXTENSION Extension);
