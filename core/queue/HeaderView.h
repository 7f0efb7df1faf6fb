// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Every field of a game's cartridge header (0x100..0x14F) decoded for a
// person to read: what the game is, what hardware it asks for, and whether
// the header would let a console start it.

enum class TColourSupport { None, Both, ColourOnly };

struct TCartridgeType {
  uint8_t Code = 0;
  std::string Name;        // "MBC5+RUMBLE+RAM+BATTERY", "Unknown (0x2A)"
  std::string Mapper;      // "ROM only", "MBC1", ..., "" when the code is unknown
  bool Ram = false, Battery = false, Timer = false, Rumble = false, Sensor = false;
  bool Known = false;
};

struct TGameHeader {
  uint8_t Entry[4] = {};            // 0x100: the first instructions run
  std::string EntryText;            // "nop; jp 0x0150", or the bytes in hex
  bool LogoValid = false;           // 0x104..0x133 hold the logo a console checks
  std::string Title;                // raw bytes, without the colour flag or manufacturer code
  std::string Manufacturer;         // 0x13F..0x142 when a colour game carries one ("" otherwise)
  uint8_t ColourFlag = 0;           // 0x143
  TColourSupport Colour = TColourSupport::None;
  std::string NewLicensee;          // 0x144..0x145, two characters
  uint8_t OldLicensee = 0;          // 0x14B; 0x33 means the new code holds
  std::string Licensee;             // the publisher's name, or "Unknown (...)"
  uint8_t SgbFlag = 0;              // 0x146; 0x03: uses the Super Game Boy's functions
  bool SgbSupport = false;
  TCartridgeType Cartridge;         // 0x147
  uint8_t RomSizeCode = 0;          // 0x148
  int64_t RomSize = -1;             // bytes, -1 for an unknown code
  uint8_t RamSizeCode = 0;          // 0x149
  int64_t RamSize = -1;             // bytes, -1 for an unknown code
  uint8_t Destination = 0;          // 0x14A: 0 Japan, 1 elsewhere
  uint8_t Version = 0;              // 0x14C
  uint8_t HeaderChecksum = 0;       // 0x14D as stated
  uint8_t HeaderChecksumComputed = 0;
  uint16_t GlobalChecksum = 0;      // 0x14E..0x14F as stated (big-endian)
  // Over the whole game; absent when only the header was read.
  std::optional<uint16_t> GlobalChecksumComputed;
  int64_t FileSize = -1;            // the game's whole length
  // What is wrong, in the words of the header check (empty: a good header).
  std::vector<std::string> Problems;
};

// Decodes the header from the first Count bytes of a game of Size bytes
// (Count at least 0x150; with Count == Size the global checksum is computed
// too). False when Count is too short to hold a header.
bool DecodeGameHeader(const uint8_t* Data, int64_t Count, int64_t Size, TGameHeader& Header);
// The same for a game file, read whole; false with Error set when it
// cannot be read or is too short.
bool DecodeGameFile(const std::string& FileName, TGameHeader& Header, std::string& Error);

// The 16-bit sum of every byte but the two of the global checksum itself.
uint16_t GlobalChecksum(const uint8_t* Data, int64_t Size);

// Names of the codes, for the view and for tests.
TCartridgeType CartridgeTypeOf(uint8_t Code);
std::string LicenseeName(uint8_t OldCode, const std::string& NewCode);
int64_t HeaderRomSize(uint8_t Code);
int64_t HeaderRamSize(uint8_t Code);

// The header as lines "Field: value" for a terminal or a details box. The
// title and manufacturer code are raw header bytes: ShowBytes makes them
// text the way the front end shows titles.
std::vector<std::string> HeaderViewLines(const TGameHeader& Header,
                                         const std::function<std::string(const std::string&)>& ShowBytes);
// "none", "works on both", "colour only".
const char* ColourSupportText(TColourSupport Colour);
