// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

// Command codes of the cable.
constexpr uint8_t cmdChipId = 'D';
constexpr uint8_t cmdReadRom = 0xFF;
constexpr uint8_t cmdReadSram = 'm';
constexpr uint8_t cmdWriteRom = 'W';
constexpr uint8_t cmdWriteSram = 'M';
constexpr uint8_t cmdSelectPage = 'A';
constexpr uint8_t cmdSetPorts = '1';
constexpr uint8_t cmdGetPorts = '2';

// The 9-byte command header. Address and Length travel most significant byte
// first; they are stored here already swapped (SwapDWord), so the struct's
// bytes are the wire bytes on a little-endian machine.
#pragma pack(push, 1)
struct TLinkCommand {
  uint8_t Code;
  uint32_t Address;
  uint32_t Length;
};

// A write packet is always sent whole, 41 bytes, whatever Length says.
struct TLinkWritePacket {
  TLinkCommand Header;
  uint8_t Data[32];
};
#pragma pack(pop)

static_assert(sizeof(TLinkCommand) == 9, "the command header is 9 bytes on the wire");
static_assert(sizeof(TLinkWritePacket) == 41, "a write packet is 41 bytes on the wire");

constexpr uint32_t LinkWriteChunk = 32;

// A header with Address and Length put in wire order (SwapDWord).
TLinkCommand MakeLinkCommand(uint8_t Code, uint32_t Address, uint32_t Length);

// Flash chips the program knows.
struct TChipInfo {
  uint16_t Id;
  const char* Name;
  uint32_t Capacity;   // bytes per page
};
const TChipInfo* FindChip(uint16_t Id);   // nullptr for any unknown identifier
