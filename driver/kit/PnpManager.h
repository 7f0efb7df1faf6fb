// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Plug and Play manager: loads a driver, gives it each device a bus
// reports (AddDevice) and sends it the device's Plug and Play and power
// requests, one at a time, as the system would.
#include <wdm.h>

#include <vector>

class TUsbBus;

class TPnpManager {
public:
  // Loads the driver: DriverEntry runs here.
  explicit TPnpManager(PDRIVER_INITIALIZE Entry);
  // Removes every device still added, then unloads the driver.
  ~TPnpManager();
  TPnpManager(const TPnpManager&) = delete;
  TPnpManager& operator=(const TPnpManager&) = delete;

  NTSTATUS EntryStatus() const { return FEntryStatus; }
  PDRIVER_OBJECT Driver() const { return FDriver; }

  NTSTATUS AddDevice(TUsbBus& Bus);
  // The driver's device on the bus's device, or null when none is attached.
  PDEVICE_OBJECT FunctionDevice(TUsbBus& Bus) const;

  NTSTATUS Start(TUsbBus& Bus, PCM_RESOURCE_LIST Translated = nullptr, PCM_RESOURCE_LIST Raw = nullptr);
  // A refused query is followed by the matching cancel, as the system does.
  NTSTATUS QueryRemove(TUsbBus& Bus);
  NTSTATUS CancelRemove(TUsbBus& Bus);
  NTSTATUS Remove(TUsbBus& Bus);
  NTSTATUS QueryStop(TUsbBus& Bus);
  NTSTATUS CancelStop(TUsbBus& Bus);
  NTSTATUS Stop(TUsbBus& Bus);
  NTSTATUS SurpriseRemoval(TUsbBus& Bus);
  // Any other Plug and Play request; it arrives with STATUS_NOT_SUPPORTED.
  NTSTATUS Send(TUsbBus& Bus, UCHAR MinorFunction);

  // A power request for the device stack; the request itself is returned in
  // Sent (it is freed by then, so only for comparison) when asked for.
  NTSTATUS Power(TUsbBus& Bus, UCHAR MinorFunction, POWER_STATE_TYPE Type, POWER_STATE State,
                 POWER_ACTION ShutdownType = PowerActionNone, ULONG SystemContext = 0, PIRP* Sent = nullptr);

private:
  NTSTATUS SendPnp(TUsbBus& Bus, UCHAR MinorFunction, PCM_RESOURCE_LIST Translated = nullptr,
                   PCM_RESOURCE_LIST Raw = nullptr);

  PDRIVER_OBJECT FDriver = nullptr;
  NTSTATUS FEntryStatus = STATUS_UNSUCCESSFUL;
  std::vector<TUsbBus*> FAdded;
};
