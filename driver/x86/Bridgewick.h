// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bridgewick, 32-bit build: the same cable, interface class and endpoints as
// the 64-bit build, but the device is configured when it starts, reads and
// writes run asynchronously and report the bytes actually moved, requests
// longer than one stage are split into stages that are all in flight at
// once, and the device's power follows its open handles and the system.
#include "driver/BridgewickCommon.h"

// Pool tag of every block this build allocates: the bytes 'W' 'd' 'm' ' '.
constexpr ULONG PoolTag = 0x206D6457;

// Bytes per stage; the per-pipe transfer size asked of the USB stack too.
constexpr ULONG DefaultStageSize = 2048;
// The largest request carried out in stages (64 stages).
constexpr ULONG MaximumStagedLength = 0x20000;
// The configuration descriptor is first read into a buffer of this size.
constexpr ULONG ConfigurationBufferSize = 521;
// Units of InterfaceLinkName, the terminator included.
constexpr ULONG InterfaceLinkNameUnits = 256;

// The control codes (in the public header) as the kernel's macro builds them.
static_assert(IOCTL_LINK_GET_CONFIG_DESCRIPTOR ==
                  CTL_CODE(FILE_DEVICE_UNKNOWN, 0x0000, METHOD_BUFFERED, FILE_ANY_ACCESS) &&
              IOCTL_LINK_RESET_DEVICE == CTL_CODE(FILE_DEVICE_UNKNOWN, 0x0001, METHOD_BUFFERED, FILE_WRITE_ACCESS) &&
              IOCTL_LINK_RESET_PIPES == CTL_CODE(FILE_DEVICE_UNKNOWN, 0x0002, METHOD_BUFFERED, FILE_WRITE_ACCESS));

// One stage of a staged request. Urb is cleared when the stage has
// completed; the request and its descriptor stay until the whole request is
// finished, so that a cancel never reaches a request already freed. Moved is
// what the stage received or sent.
typedef struct _STAGE_ENTRY {
  PURB Urb;
  PDEVICE_OBJECT DeviceObject;
  PIRP StageIrp;
  PMDL StageMdl;
  ULONG Moved;
  BOOLEAN FromDevice;
} STAGE_ENTRY, *PSTAGE_ENTRY;

// Per-device state; the driver keeps nothing anywhere else.
typedef struct _DEVICE_EXTENSION {
  PDEVICE_OBJECT LowerDeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  DEVICE_POWER_STATE DevicePowerState;
  USBD_CONFIGURATION_HANDLE ConfigurationHandle;
  PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor;
  PUSB_DEVICE_DESCRIPTOR DeviceDescriptor;
  PUSBD_INTERFACE_INFORMATION InterfaceInfo;
  DEVICE_CAPABILITIES Capabilities;
  PIRP PendingSystemPowerIrp;
  // The staged request in progress in each direction (DirectionIndex), so
  // that a read waiting for the cable never refuses the write of the command
  // it waits for; its stages, and the holds on it (one per stage in flight).
  PIRP MasterIrp[2];
  PURB SingleUrb[2];   // per direction: DirectionIndex
  LONG PendingStages[2];
  KEVENT RemoveEvent;
  KEVENT StagesDoneEvent[2];
  KEVENT NoPendingIoEvent;
  KEVENT PowerEvent;
  KSPIN_LOCK IoCountLock;
  LONG IoCount;
  LONG OpenHandles;
  PSTAGE_ENTRY StageArray[2];
  WCHAR InterfaceLinkName[InterfaceLinkNameUnits];
  BOOLEAN RemovePending;
  BOOLEAN QueryRemovePending;
  BOOLEAN QueryStopPending;
  BOOLEAN Started;
  BOOLEAN WaitWakePending;
  BOOLEAN PowerRequestPending;
  DEVICE_POWER_STATE PowerDownLevel;
  ULONG StageSize;
  KSPIN_LOCK StageLock;
  USBD_PIPE_HANDLE BulkInPipe;
  USBD_PIPE_HANDLE BulkOutPipe;
  // The request of the single-stage transfer in progress in each direction,
  // and the holds on it (its completion's, and a cancel's while it runs):
  // the one that drops the last hold completes it. A read waiting for the
  // cable so never keeps the command it waits for from being written.
  PIRP SingleIrp[2];
  LONG SingleHolds[2];
  // Guards PowerRequestPending, which is set when a device power change is
  // asked for and cleared only when its callback has run.
  KSPIN_LOCK PowerLock;
} DEVICE_EXTENSION, *PDEVICE_EXTENSION;

// Slot of a direction in the per-direction fields.
inline int DirectionIndex(BOOLEAN FromDevice) { return FromDevice ? 0 : 1; }

inline PDEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT DeviceObject) {
  return static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
}

// Entry points: every routine the kernel calls is NTAPI (stdcall on x86).
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

// Completion routines and power callbacks.
NTSTATUS NTAPI StageCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
NTSTATUS NTAPI SingleCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);

// Request accounting.
void AcquireIo(PDEVICE_EXTENSION Extension);
void ReleaseIo(PDEVICE_EXTENSION Extension);
BOOLEAN CanAcceptIo(PDEVICE_EXTENSION Extension);
// Called by a Plug and Play request that holds a reference, with the gate
// closed: waits until every other request in progress (a transfer, a
// control code, a power request) has given its reference back.
void DrainRequests(PDEVICE_EXTENSION Extension);
// The gate on new staged requests. Both take the stage lock, so they are
// resident code that pageable Plug and Play code calls, never inlines.
void SetGate(PDEVICE_EXTENSION Extension, BOOLEAN* Flag, BOOLEAN Value);
// Closes the gate (sets *Flag) unless stages are in flight; TRUE if closed.
BOOLEAN CloseGateIfIdle(PDEVICE_EXTENSION Extension, BOOLEAN* Flag);

// Plug and Play and USB set-up.
NTSTATUS QueryCapabilities(PDEVICE_EXTENSION Extension);
NTSTATUS StartDevice(PDEVICE_EXTENSION Extension);
NTSTATUS StopDevice(PDEVICE_EXTENSION Extension);
NTSTATUS GetConfigurationDescriptor(PDEVICE_EXTENSION Extension);
NTSTATUS SelectConfiguration(PDEVICE_EXTENSION Extension);
void ReleaseDeviceResources(PDEVICE_EXTENSION Extension);
NTSTATUS ResetDevice(PDEVICE_EXTENSION Extension);
NTSTATUS ResetPipe(PDEVICE_EXTENSION Extension, USBD_PIPE_HANDLE Pipe);

// The data path.
NTSTATUS StagedTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice);
NTSTATUS SingleTransfer(PDEVICE_OBJECT DeviceObject, PIRP Irp, BOOLEAN FromDevice);
PURB BuildTransferUrb(PDEVICE_EXTENSION Extension, PMDL Mdl, BOOLEAN FromDevice);
// Cancels every stage in flight, and the single-stage transfer if one runs,
// and waits for the stages.
void CancelStages(PDEVICE_EXTENSION Extension);

// Power. SelfPowerPolicy decides and claims PowerRequestPending;
// RequestDevicePower asks for the change it decided on.
void SelfPowerPolicy(PDEVICE_EXTENSION Extension, BOOLEAN PowerUp);
NTSTATUS RequestDevicePower(PDEVICE_EXTENSION Extension, DEVICE_POWER_STATE State);
