// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <vector>

class TLink;

// Reads the card range Start..End (page-relative, End exclusive) into Bytes
// in the read engine's pieces, for work that needs a game's bytes but no
// file of them (hashing it against a DAT, a whole header view). Sets
// Operating, shows "Now reading..." with progress, pumps between pieces and
// stops when Operating is cleared. True only when the whole range was read.
bool ReadToMemory(uint32_t Start, uint32_t End, uint8_t Code, TLink& Link, std::vector<uint8_t>& Bytes);
