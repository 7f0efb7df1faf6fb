// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for the USB transport in builds without libusb (the Windows
// build reaches the cable through its driver instead): a port that never
// opens, so callers need no build switches of their own.
#include <string>

#include "core/link/LibUsbLinkPort.h"
#include "core/link/PlatformErrors.h"

namespace {

class TNoUsbLinkPort final : public TLinkPort {
public:
  intptr_t Open() override { return -1; }
  void Close() override {}
  long Write(const uint8_t*, size_t) override { return -1; }
  long Read(uint8_t*, size_t) override { return -1; }
  int LastError() const override { return kErrNoSuchDevice; }
  std::string Describe() const override { return "USB (not in this build)"; }
};

}  // namespace

std::unique_ptr<TLinkPort> MakeLibUsbLinkPort(uint16_t, uint16_t) { return std::make_unique<TNoUsbLinkPort>(); }
