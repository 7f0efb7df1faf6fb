// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

// P[0] + P[1]*2^8 + P[2]*2^16 + P[3]*2^24.
uint32_t ReadLE32(const uint8_t* P);
// The four bytes of Value in reverse order; the link's big-endian fields
// are stored this way so that the struct's bytes are the wire bytes.
uint32_t SwapDWord(uint32_t Value);
