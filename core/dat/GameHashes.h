// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <cstdint>
#include <string>

// What identifies a dump: its length, its CRC32 and its SHA-1, as the DAT
// files of known-good dumps give them.
struct TGameHashes {
  uint64_t Size = 0;
  uint32_t Crc32 = 0;
  std::array<uint8_t, 20> Sha1{};
};

TGameHashes HashBytes(const uint8_t* Data, size_t Size);
// Reads the file in pieces; false with Error ("FILE: reason") when it
// cannot be read to its end.
bool HashFile(const std::string& FileName, TGameHashes& Hashes, std::string& Error);

// Lower-case hexadecimal, as DAT files write them: 8 and 40 digits.
std::string Crc32Text(uint32_t Crc);
std::string Sha1Text(const std::array<uint8_t, 20>& Sha1);
