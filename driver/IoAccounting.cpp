// SPDX-License-Identifier: GPL-3.0-or-later
// Request accounting: the outstanding-I/O counter that lets a stop or a
// removal wait for transfers in progress.
#include "Bridgewick.h"

BW_PAGEABLE BOOLEAN AcquireIo(PDEVICE_EXTENSION Extension) {
  PAGED_CODE();
  InterlockedIncrement(&Extension->IoCount);
  // Checked after the increment, so a drain that has begun either sees this
  // reference or this request sees the drain.
  if (Extension->Draining) {
    ReleaseIo(Extension);
    return FALSE;
  }
  return TRUE;
}

void ReleaseIo(PDEVICE_EXTENSION Extension) {
  if (InterlockedDecrement(&Extension->IoCount) == 0) KeSetEvent(&Extension->IoIdleEvent, IO_NO_INCREMENT, FALSE);
}
