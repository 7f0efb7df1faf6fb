// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sends a request the layer built and waits until it is completed.
#include <wdm.h>

// The IRP must come from KitInternal::AllocateThreadedIrp with IoStatus and
// Event; both are the caller's locals.
NTSTATUS KitSendAndWait(PDEVICE_OBJECT Device, PIRP Irp, PKEVENT Event, PIO_STATUS_BLOCK IoStatus, const char* What);
