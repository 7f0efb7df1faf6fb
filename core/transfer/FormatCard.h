// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

class TLink;

// Header signature area of each 32 KiB block that a format clears: the end
// of the logo, the title and the fields after it.
constexpr uint32_t FormatBlockSize = 0x8000;
constexpr uint32_t FormatClearOffset = 0x130;
constexpr uint32_t FormatBlocksPerPage = 128;

// Makes the selected page (the 128 blocks from PageBase) or, with WholeChip,
// both pages (256 blocks from card address 0) look empty to the card
// listing: 32 zero bytes at 0x130 of every block, one write packet each.
// Shows "Now formatting..." on the busy panel and pumps once before the
// packets; it cannot be stopped and reports nothing itself. A packet the
// cable does not take ends it there (a cable that is gone stays gone);
// returns the number of blocks cleared, so the caller can tell a complete
// format (FormatBlocksPerPage, or twice that) from a cut-short one and
// report it.
uint32_t FormatCard(bool WholeChip, TLink& Link);

// The same over Blocks blocks from the bare card address Base.
uint32_t FormatBlocks(uint32_t Base, uint32_t Blocks, TLink& Link);
