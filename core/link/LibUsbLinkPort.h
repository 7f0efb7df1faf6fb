// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <memory>

#include "core/link/LinkPort.h"

// The cable over libusb-1.0: the first device with the given vendor and
// product numbers, interface 0 (a kernel driver bound to it is detached), the
// first bulk OUT and bulk IN endpoint its descriptors name (0x02 and 0x81 on
// the cable), with no time-out. A reply that reaches the host in several
// transfers is read whole. A cable that is there but cannot be opened (in use,
// no permission) says why in Describe(). Device arrival and removal are
// reported through libusb's hot-plug where udev runs, else straight from the
// kernel. Without libusb in the build, the port never opens.
std::unique_ptr<TLinkPort> MakeLibUsbLinkPort(uint16_t Vendor, uint16_t Product);
