#pragma once
#include <cstdint>
#include <memory>

#include "core/link/LinkPort.h"

// The cable over libusb-1.0: the first device with the given vendor and
// product numbers, interface 0, bulk OUT 0x02 and bulk IN 0x81, with no
// time-out. Device arrival and removal are reported where libusb can
// (hot-plug). Without libusb in the build, the port never opens.
std::unique_ptr<TLinkPort> MakeLibUsbLinkPort(uint16_t Vendor, uint16_t Product);
