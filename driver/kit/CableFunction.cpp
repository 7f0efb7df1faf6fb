// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/CableFunction.h"

#include "emulator/CableEmulator.h"

long TCableFunction::BulkOut(UCHAR Endpoint, const uint8_t* Data, size_t Count) {
  (void)Endpoint;
  return FCable.BulkOut(Data, Count);
}

long TCableFunction::BulkIn(UCHAR Endpoint, uint8_t* Data, size_t Count) {
  (void)Endpoint;
  return FCable.BulkIn(Data, Count);
}

bool TCableFunction::ReplyPending() const { return FCable.ReplyPending(); }

bool TCableFunction::Plugged() const { return FCable.Plugged(); }

void TCableFunction::Unplugged() { FCable.Unplug(); }
