// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

#include "core/transfer/TransferOutcome.h"

class TLink;

// What the user is told to do about a card that answers differently twice.
constexpr const char* ContactAdvice = "clean the card's contacts and try again";

// The parts of the card the contact check reads, each twice.
constexpr uint32_t ContactStartBytes = 0x8000;   // the page's first 32 KiB
constexpr uint32_t ContactEndBytes = 0x8000;     // the last 32 KiB of the page's last erase block
constexpr uint32_t ContactSaveBytes = 0x1000;    // the first 4 KiB of save RAM

// How one contact check ended.
struct TContactCheck {
  // Done when every read answered; Stopped or LinkFailed when the check
  // could not finish (then Stable says nothing).
  TTransferEnd End = TTransferEnd::Done;
  bool Stable = false;        // both passes gave the same answers
  std::string Region;         // unstable: the part that answered differently ("the chip identifier", ...)
  int64_t Address = -1;       // unstable: the first differing byte (flash or save-RAM address; -1 for the identifier)
  uint32_t BytesPerPass = 0;  // what one pass reads, the identifier aside
  std::string Text;           // the verdict, one sentence
};

// Reads the chip identifier, the selected page's first ContactStartBytes,
// ContactEndBytes at the end of the page and ContactSaveBytes of save RAM,
// then all of it again, and compares the two passes. A card that gives two
// answers to the same question has a poor contact: whatever is written
// through it, or read from it, may be wrong. Sets Operating, shows "Now
// checking the contact..." in panel 1 and pumps between reads (clearing
// Operating stops it); the verdict is left in panel 1. PageBase is kept.
TContactCheck CheckContact(TLink& Link);
