// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

// The state that every part of the program shares while it runs. The front end
// owns one instance and hands it down by reference; nothing keeps a global copy.
struct TSharedState {
  bool Operating = false;        // a long operation runs; clearing it stops the loop at the next packet
  uint32_t PageBase = 0;         // selected page index << 22; added to every read address
  uint32_t CardCapacity = 0;     // 0x400000 once the known chip answered, else 0
  bool TestROMMode = false;      // "/rom" on the command line
  bool TestSRAMMode = false;     // "/sram" on the command line
};
