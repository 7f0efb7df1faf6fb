// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/link/LinkProtocol.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

// Wire bytes of a 9-byte command, fields most significant byte first.
inline std::vector<uint8_t> Command(uint8_t Code, uint32_t Address = 0, uint32_t Length = 0) {
  return {Code,
          uint8_t(Address >> 24), uint8_t(Address >> 16), uint8_t(Address >> 8), uint8_t(Address),
          uint8_t(Length >> 24), uint8_t(Length >> 16), uint8_t(Length >> 8), uint8_t(Length)};
}

// Wire bytes of a 41-byte write packet carrying Data (at most 32 bytes); the
// unused rest of the data field holds Filler.
inline std::vector<uint8_t> WritePacket(uint8_t Code, uint32_t Address, const std::vector<uint8_t>& Data,
                                        uint8_t Filler = 0x5A) {
  std::vector<uint8_t> Packet(sizeof(TLinkWritePacket), Filler);
  const auto Header = Command(Code, Address, static_cast<uint32_t>(Data.size()));
  std::copy(Header.begin(), Header.end(), Packet.begin());
  std::copy(Data.begin(), Data.end(), Packet.begin() + Header.size());
  return Packet;
}

// Deterministic bytes that differ from one place to the next.
inline std::vector<uint8_t> Pattern(size_t Count, uint32_t Seed) {
  std::vector<uint8_t> Bytes(Count);
  uint32_t State = Seed * 2654435761u + 1;
  for (auto& Byte : Bytes) {
    State = State * 1664525u + 1013904223u;
    Byte = uint8_t(State >> 24);
  }
  return Bytes;
}
