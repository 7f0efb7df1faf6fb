// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes that step by 31 from Seed: every small file of a test differs from
// the next one at its first byte already.
inline std::vector<uint8_t> Pattern(size_t Size, uint8_t Seed = 1) {
  std::vector<uint8_t> Bytes(Size);
  for (size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 31 + Seed);
  return Bytes;
}
