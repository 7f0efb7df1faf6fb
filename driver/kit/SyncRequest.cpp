// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/SyncRequest.h"

#include <string>

#include "driver/kit/Kit.h"

NTSTATUS KitSendAndWait(PDEVICE_OBJECT Device, PIRP Irp, PKEVENT Event, PIO_STATUS_BLOCK IoStatus, const char* What) {
  IoStatus->Status = STATUS_PENDING;
  IoStatus->Information = 0;
  NTSTATUS Returned = IofCallDriver(Device, Irp);
  if (Returned != STATUS_PENDING && KeReadStateEvent(Event) == 0) {
    TKit::Fault(std::string(What) + ": the driver returned without completing the request or returning STATUS_PENDING");
  }
  KeWaitForSingleObject(Event, Executive, KernelMode, FALSE, nullptr);
  if (Returned != STATUS_PENDING && Returned != IoStatus->Status)
    TKit::Fault(std::string(What) + ": the driver returned a status other than the one it completed the request with");
  return IoStatus->Status;
}
