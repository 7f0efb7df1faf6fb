// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/queue/HeaderCheck.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

// Game files for the window tests: a header the card listing recognises
// (logo, title, ROM-size code, header checksum) over bytes that differ from game to game.
inline std::vector<uint8_t> GameBytes(const std::string& Title, uint32_t Size, uint8_t SizeCode, uint8_t Seed) {
  std::vector<uint8_t> Bytes(Size);
  for (uint32_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 7 + (I >> 8) + Seed * 31);
  if (Size >= 0x150) {
    // The whole logo and a right header checksum, so the file passes the
    // checks the queue makes before it takes a game.
    std::memcpy(&Bytes[HeaderLogoOffset], HeaderLogo, HeaderLogoSize);
    std::memset(&Bytes[0x134], 0, 16);
    std::memcpy(&Bytes[0x134], Title.data(), std::min<size_t>(Title.size(), 16));
    Bytes[0x148] = SizeCode;
    Bytes[HeaderChecksumOffset] = HeaderChecksum(Bytes.data());
  }
  return Bytes;
}

// A folder of files that goes away with the test.
class TGameFolder {
public:
  bool Valid() const { return FFolder.Valid(); }
  std::string Path(const std::string& Name) const { return FDir + "/" + Name; }
  std::string Root() const { return FDir; }
  // A game of 32 KiB x 2^SizeCode bytes named Name.
  std::string Game(const std::string& Name, const std::string& Title, uint8_t SizeCode, uint8_t Seed = 1) {
    const std::string File = Path(Name);
    WriteBytes(File, GameBytes(Title, 0x8000u << SizeCode, SizeCode, Seed));
    return File;
  }

private:
  TTempFolder FFolder{"fq-window"};
  std::string FDir = FFolder.Text();
};
