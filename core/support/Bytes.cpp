// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Bytes.h"

uint32_t ReadLE32(const uint8_t* P) {
  return static_cast<uint32_t>(P[0]) | static_cast<uint32_t>(P[1]) << 8 | static_cast<uint32_t>(P[2]) << 16 |
         static_cast<uint32_t>(P[3]) << 24;
}

uint32_t SwapDWord(uint32_t Value) {
  return (Value & 0x000000FFu) << 24 | (Value & 0x0000FF00u) << 8 | (Value & 0x00FF0000u) >> 8 |
         (Value & 0xFF000000u) >> 24;
}
