// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program and the cable's driver agree on, in the one header both
// include: the device interface class through which the program finds the
// cable, and the control codes the driver's 32-bit build answers (the 64-bit
// build completes every control code at once with no data). Plain numbers,
// so that it compiles in either build of the driver (against the kernel's
// headers or the kernel layer's), in the Windows program, and where there
// are no Windows headers at all.
#include <stdint.h>

// {1B65BEDD-1D6A-11D6-807D-82B3DAB6C625}, laid out as the system's GUID.
struct TLinkInterfaceGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
constexpr TLinkInterfaceGuid LinkInterfaceGuid = {
    0x1B65BEDD, 0x1D6A, 0x11D6, {0x80, 0x7D, 0x82, 0xB3, 0xDA, 0xB6, 0xC6, 0x25}};

// A control code as the system builds one: device type FILE_DEVICE_UNKNOWN
// (0x22), the access a handle needs, the function, and buffered transfer.
constexpr uint32_t LinkAnyAccess = 0;
constexpr uint32_t LinkWriteAccess = 2;
constexpr uint32_t LinkControlCode(uint32_t Function, uint32_t Access) {
  return (0x22u << 16) | (Access << 14) | (Function << 2);
}

// The saved configuration descriptor, whole, into the output buffer.
constexpr uint32_t IOCTL_LINK_GET_CONFIG_DESCRIPTOR = LinkControlCode(0, LinkAnyAccess);
// A reset of the hub port when it is connected but not enabled, and a
// reset of both bulk pipes. Either cuts short whatever transfer is in
// flight, so each takes a handle opened for writing, as writing does.
constexpr uint32_t IOCTL_LINK_RESET_DEVICE = LinkControlCode(1, LinkWriteAccess);
constexpr uint32_t IOCTL_LINK_RESET_PIPES = LinkControlCode(2, LinkWriteAccess);
static_assert(IOCTL_LINK_GET_CONFIG_DESCRIPTOR == 0x220000 && IOCTL_LINK_RESET_DEVICE == 0x228004 &&
                  IOCTL_LINK_RESET_PIPES == 0x228008,
              "the control codes the driver's users were given");
