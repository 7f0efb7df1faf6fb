// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/transfer/TransferOutcome.h"

class TLink;

// Reads the card range Start..End (page-relative, End exclusive) into Bytes
// in the read engine's pieces, for work that needs a game's bytes but no
// file of them (hashing it against a DAT, a whole header view). Sets
// Operating, shows "Now reading..." with progress, pumps between pieces and
// stops when Operating is cleared. True only when the whole range was read;
// Outcome, when given, says how it ended (a stop or a failed exchange).
// DoneText is panel 1's text when the read is whole.
bool ReadToMemory(uint32_t Start, uint32_t End, uint8_t Code, TLink& Link, std::vector<uint8_t>& Bytes,
                  TTransferOutcome* Outcome = nullptr, const char* DoneText = "Read complete.");
