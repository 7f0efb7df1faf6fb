// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/transfer/TransferOutcome.h"

class TLink;

// The flash's erase block: what a repair compares and rewrites whole.
constexpr uint32_t RepairBlockSize = 0x20000;

// How a write treats what the card already holds.
enum class TRepairMode {
  Off,   // format the page, then write the whole image
  On,    // write only the erase blocks that differ from the image
  Ask,   // ask "write only what differs?" when the card already holds the image's first block
};

constexpr const char* RepairCompareText = "Now comparing...";

// Where one image goes, for a repair: packets to bare card addresses from
// Base; reads page-relative (the link adds PageBase), so Named images read
// with PageBase 0; HeaderBlocks 32 KiB blocks from Base are what a format
// would clear.
struct TRepairTarget {
  uint32_t Base = 0;
  bool Named = false;
  uint32_t HeaderBlocks = 0;
};

// Whether the card already holds the image's first erase block as a write
// would leave it. Unread: a read failed (reported by the link, Operating
// cleared); Stopped: Operating was cleared meanwhile. Reads only; otherwise
// Operating is left as it was.
enum class TStartOnCard { Holds, Differs, Unread, Stopped };
TStartOnCard ImageStartOnCard(const std::vector<uint8_t>& Image, const TRepairTarget& Target, TLink& Link);

// Writes Image over what the card holds, touching only what differs:
// compares every erase block the image covers with the image (bytes past
// its end as the erase leaves them, 0xFF), clears the header area (as the
// format step does) of every 32 KiB block past them that still shows a
// header to the card listing, then writes each differing block whole from its first
// byte, so that the cable erases it first. Progress and estimate as a
// write's; clearing Operating stops it at a packet boundary. Outcome gets
// the repair's counts, and Reached the length of the image's start that is
// on the card (every block before it equal or rewritten). Sent gets Image.
bool RepairImage(const std::vector<uint8_t>& Image, const TRepairTarget& Target, TLink& Link,
                 TTransferOutcome& Outcome, std::vector<uint8_t>* Sent);

// The question Ask puts: the page (or, for a Named image, the flash from
// address 0) already holds the start of the image.
std::string RepairQuestion(bool Named, uint32_t PageBase);

// "3 of 32 blocks rewritten" (and the old headers cleared, when any), for the
// outcome of a repair.
std::string RepairSummary(const TTransferOutcome& Outcome);
