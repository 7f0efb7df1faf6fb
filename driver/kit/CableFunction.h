// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cable emulator behind the bus's endpoints.
#include "driver/kit/UsbBus.h"

class TCableEmulator;

class TCableFunction : public TUsbFunction {
public:
  explicit TCableFunction(TCableEmulator& Cable) : FCable(Cable) {}

  long BulkOut(UCHAR Endpoint, const uint8_t* Data, size_t Count) override;
  long BulkIn(UCHAR Endpoint, uint8_t* Data, size_t Count) override;
  bool ReplyPending() const override;
  bool Plugged() const override;
  void Unplugged() override;

private:
  TCableEmulator& FCable;
};
