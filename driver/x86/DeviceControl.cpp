// SPDX-License-Identifier: GPL-3.0-or-later
// The three control codes: the saved configuration descriptor, a port
// reset and the pipe resets.
#include "driver/x86/Bridgewick.h"

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PDEVICE_EXTENSION Extension = ExtensionOf(DeviceObject);
  AcquireIo(Extension);
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
  NTSTATUS Status = STATUS_INVALID_PARAMETER;
  ULONG_PTR Information = 0;

  if (!CanAcceptIo(Extension)) {
    Status = STATUS_DELETE_PENDING;
  } else {
    switch (Stack->Parameters.DeviceIoControl.IoControlCode) {
      case IOCTL_LINK_GET_CONFIG_DESCRIPTOR: {
        PUSB_CONFIGURATION_DESCRIPTOR Config = Extension->ConfigurationDescriptor;
        if (Config == nullptr) {
          Status = STATUS_DEVICE_DATA_ERROR;
        } else if (Stack->Parameters.DeviceIoControl.OutputBufferLength < Config->wTotalLength) {
          Status = STATUS_INVALID_PARAMETER;
        } else {
          RtlCopyMemory(Irp->AssociatedIrp.SystemBuffer, Config, Config->wTotalLength);
          Information = Config->wTotalLength;
          Status = STATUS_SUCCESS;
        }
        break;
      }
      case IOCTL_LINK_RESET_DEVICE:
        Status = ResetDevice(Extension);
        break;
      case IOCTL_LINK_RESET_PIPES:
        ResetPipe(Extension, Extension->BulkInPipe);
        ResetPipe(Extension, Extension->BulkOutPipe);
        Status = STATUS_SUCCESS;
        break;
      default:
        Status = STATUS_INVALID_PARAMETER;
        break;
    }
  }
  CompleteRequest(Irp, Status, Information);
  ReleaseIo(Extension);
  return Status;
}
