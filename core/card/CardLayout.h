// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

// How games sit on a card page, as the card listing and the pack writer see it.

// One page of the card: the range the listing probes.
constexpr uint32_t PageSize = 0x400000;
// The boot menu at the start of a game pack; it takes one 32 KiB slot.
constexpr uint32_t MenuImageSize = 32768;
// The boot menu's header title: a pack's menu counts as used space, not as a game.
constexpr const char* MenuTitle = "VA16Z";

// The last four bytes of the header logo (BB B9 33 3E) read little-endian:
// a block holds a game when its bytes at HeaderTailOffset equal this.
constexpr uint32_t HeaderLogoTail = 0x3E33B9BB;
constexpr uint32_t HeaderTailOffset = 0x130;
constexpr uint32_t HeaderTitleOffset = 0x134;
constexpr uint32_t HeaderRomSizeOffset = 0x148;

// Bytes read from the start of each probed block.
constexpr uint32_t HeaderProbeSize = 512;
// The step between probes until the first game is found.
constexpr uint32_t ProbeStep = 0x8000;

// ROM-size code n of a header gives 32768 << n bytes; codes 0 to 7 exist.
constexpr int RomSizeCodes = 8;
constexpr uint32_t RomSizeTable[RomSizeCodes] = {
    0x8000, 0x10000, 0x20000, 0x40000, 0x80000, 0x100000, 0x200000, 0x400000,
};
