// SPDX-License-Identifier: GPL-3.0-or-later
// Power: device power follows system power, the device powers up when a
// handle is opened and down to PowerDownLevel after the last close, and a
// wait-wake request is armed and waited for.
#include "driver/x86/Bridgewick.h"

namespace {

NTSTATUS PassPowerDown(PDEVICE_EXTENSION Extension, PIRP Irp) {
  PoStartNextPowerIrp(Irp);
  IoSkipCurrentIrpStackLocation(Irp);
  return PoCallDriver(Extension->LowerDeviceObject, Irp);
}

// D0 is recorded only once the bus below has powered the device up.
NTSTATUS NTAPI PowerUpCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context) {
  UNREFERENCED_PARAMETER(DeviceObject);
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(Context);
  if (Irp->PendingReturned) IoMarkIrpPending(Irp);
  if (NT_SUCCESS(Irp->IoStatus.Status)) Extension->DevicePowerState = PowerDeviceD0;
  ReleaseIo(Extension);
  return STATUS_SUCCESS;
}

// The device has reached the state asked for on behalf of a held system
// request: that one goes down now.
void NTAPI SystemPowerCallback(PDEVICE_OBJECT DeviceObject, UCHAR MinorFunction, POWER_STATE PowerState, PVOID Context,
                               PIO_STATUS_BLOCK IoStatus) {
  UNREFERENCED_PARAMETER(DeviceObject);
  UNREFERENCED_PARAMETER(MinorFunction);
  UNREFERENCED_PARAMETER(PowerState);
  UNREFERENCED_PARAMETER(IoStatus);
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(Context);
  PIRP SystemIrp = Extension->PendingSystemPowerIrp;
  Extension->PendingSystemPowerIrp = nullptr;
  if (SystemIrp != nullptr) PassPowerDown(Extension, SystemIrp);
  ReleaseIo(Extension);
}

// A device power change the driver asked for has been carried out: the
// state it reached is recorded by now, so the next change may be decided on.
void NTAPI DevicePowerCallback(PDEVICE_OBJECT DeviceObject, UCHAR MinorFunction, POWER_STATE PowerState,
                               PVOID Context, PIO_STATUS_BLOCK IoStatus) {
  UNREFERENCED_PARAMETER(DeviceObject);
  UNREFERENCED_PARAMETER(MinorFunction);
  UNREFERENCED_PARAMETER(PowerState);
  UNREFERENCED_PARAMETER(IoStatus);
  PDEVICE_EXTENSION Extension = static_cast<PDEVICE_EXTENSION>(Context);
  KIRQL Old;
  KeAcquireSpinLock(&Extension->PowerLock, &Old);
  Extension->PowerRequestPending = FALSE;
  KeReleaseSpinLock(&Extension->PowerLock, Old);
  KeSetEvent(&Extension->PowerEvent, IO_NO_INCREMENT, FALSE);
  ReleaseIo(Extension);
}

DEVICE_POWER_STATE DeviceStateFor(PDEVICE_EXTENSION Extension, SYSTEM_POWER_STATE System) {
  if (System == PowerSystemWorking) return PowerDeviceD0;
  if (Extension->WaitWakePending && System > PowerSystemUnspecified && System < PowerSystemMaximum)
    return Extension->Capabilities.DeviceState[System];
  return PowerDeviceD3;
}

}  // namespace

BW_PAGEABLE NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  PAGED_CODE();
  PDEVICE_EXTENSION Extension = ExtensionOf(DeviceObject);
  AcquireIo(Extension);
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
  NTSTATUS Status;

  switch (Stack->MinorFunction) {
    case IRP_MN_SET_POWER:
      if (Stack->Parameters.Power.Type == DevicePowerState) {
        DEVICE_POWER_STATE State = Stack->Parameters.Power.State.DeviceState;
        if (State == PowerDeviceD0) {
          // Recorded once the bus has powered up; the completion gives the
          // reference back.
          IoCopyCurrentIrpStackLocationToNext(Irp);
          IoSetCompletionRoutine(Irp, PowerUpCompletion, Extension, TRUE, TRUE, TRUE);
          PoStartNextPowerIrp(Irp);
          return PoCallDriver(Extension->LowerDeviceObject, Irp);
        }
        Extension->DevicePowerState = State;
        Status = PassPowerDown(Extension, Irp);
        break;
      }
      {
        DEVICE_POWER_STATE Target = DeviceStateFor(Extension, Stack->Parameters.Power.State.SystemState);
        if (Target == Extension->DevicePowerState) {
          Status = PassPowerDown(Extension, Irp);
          break;
        }
        // Held until the device has followed; the callback passes it down
        // and gives the reference back.
        IoMarkIrpPending(Irp);
        Extension->PendingSystemPowerIrp = Irp;
        POWER_STATE Device;
        Device.DeviceState = Target;
        Status = PoRequestPowerIrp(Extension->PhysicalDeviceObject, IRP_MN_SET_POWER, Device, SystemPowerCallback,
                                   Extension, nullptr);
        if (!NT_SUCCESS(Status)) {
          // No device request can be made: the system request must not be
          // left held, so it goes down as it is.
          Extension->PendingSystemPowerIrp = nullptr;
          PassPowerDown(Extension, Irp);
          ReleaseIo(Extension);
        }
        return STATUS_PENDING;
      }

    case IRP_MN_WAIT_WAKE: {
      Extension->PowerDownLevel = Extension->Capabilities.DeviceWake;
      if (Extension->DevicePowerState == PowerDeviceD0 ||
          Extension->Capabilities.DeviceWake > Extension->DevicePowerState) {
        PoStartNextPowerIrp(Irp);
        Status = CompleteRequest(Irp, STATUS_INVALID_DEVICE_STATE, 0);
        break;
      }
      Extension->WaitWakePending = TRUE;
      KEVENT Done;
      KeInitializeEvent(&Done, NotificationEvent, FALSE);
      IoCopyCurrentIrpStackLocationToNext(Irp);
      IoSetCompletionRoutine(Irp, ForwardCompletion, &Done, TRUE, TRUE, TRUE);
      PoStartNextPowerIrp(Irp);
      Status = PoCallDriver(Extension->LowerDeviceObject, Irp);
      if (Status == STATUS_PENDING) KeWaitForSingleObject(&Done, Suspended, KernelMode, FALSE, nullptr);
      Status = Irp->IoStatus.Status;
      SelfPowerPolicy(Extension, TRUE);
      Extension->WaitWakePending = FALSE;
      // The request came back to this driver; it ends here with what the
      // bus reported.
      Status = CompleteRequest(Irp, Status, Irp->IoStatus.Information);
      break;
    }

    default:
      Status = PassPowerDown(Extension, Irp);
      break;
  }
  ReleaseIo(Extension);
  return Status;
}

void SelfPowerPolicy(PDEVICE_EXTENSION Extension, BOOLEAN PowerUp) {
  if (Extension->PowerDownLevel < PowerDeviceD1 || Extension->PowerDownLevel > PowerDeviceD3) return;
  for (;;) {
    if (!CanAcceptIo(Extension) || Extension->PendingSystemPowerIrp != nullptr) return;
    KIRQL Old;
    KeAcquireSpinLock(&Extension->PowerLock, &Old);
    if (Extension->PowerRequestPending) {
      // One change at a time: until the one asked for has been carried out,
      // DevicePowerState is not yet the state the device is going to, so a
      // reopen right after the last close would find "D0" and skip the
      // power-up while the power-down is still on its way.
      KeReleaseSpinLock(&Extension->PowerLock, Old);
      KeWaitForSingleObject(&Extension->PowerEvent, Suspended, KernelMode, FALSE, nullptr);
      continue;
    }
    LONG Handles = __atomic_load_n(&Extension->OpenHandles, __ATOMIC_SEQ_CST);
    DEVICE_POWER_STATE Target = PowerUp ? PowerDeviceD0 : Extension->PowerDownLevel;
    BOOLEAN Wanted = PowerUp ? Handles > 0 : Handles == 0;
    if (!Wanted || Extension->DevicePowerState == Target) {
      KeReleaseSpinLock(&Extension->PowerLock, Old);
      return;
    }
    Extension->PowerRequestPending = TRUE;
    KeClearEvent(&Extension->PowerEvent);
    KeReleaseSpinLock(&Extension->PowerLock, Old);
    RequestDevicePower(Extension, Target);
    return;
  }
}

NTSTATUS RequestDevicePower(PDEVICE_EXTENSION Extension, DEVICE_POWER_STATE State) {
  // PowerRequestPending is set by the caller and stays set until the
  // callback has run.
  AcquireIo(Extension);
  BOOLEAN PowerUp = State < Extension->PowerDownLevel;
  POWER_STATE Power;
  Power.DeviceState = State;
  NTSTATUS Status =
      PoRequestPowerIrp(Extension->PhysicalDeviceObject, IRP_MN_SET_POWER, Power, DevicePowerCallback, Extension, nullptr);
  if (Status == STATUS_PENDING) {
    // A power-up is waited for, so that the open finds the device running.
    if (PowerUp) KeWaitForSingleObject(&Extension->PowerEvent, Suspended, KernelMode, FALSE, nullptr);
    return Status;
  }
  // Refused at once: no callback will come.
  KIRQL Old;
  KeAcquireSpinLock(&Extension->PowerLock, &Old);
  Extension->PowerRequestPending = FALSE;
  KeReleaseSpinLock(&Extension->PowerLock, Old);
  KeSetEvent(&Extension->PowerEvent, IO_NO_INCREMENT, FALSE);
  ReleaseIo(Extension);
  return Status;
}
