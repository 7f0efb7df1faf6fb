// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

// The device interface class the cable's driver registers and the program
// opens: {1B65BEDD-1D6A-11D6-807D-82B3DAB6C625}. Kept as plain numbers so
// that code without the platform's GUID type can share it.
struct TLinkInterfaceGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
constexpr TLinkInterfaceGuid LinkInterfaceGuid = {
    0x1B65BEDD, 0x1D6A, 0x11D6, {0x80, 0x7D, 0x82, 0xB3, 0xDA, 0xB6, 0xC6, 0x25}};
