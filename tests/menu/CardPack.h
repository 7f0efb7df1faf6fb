// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Card pages for the menu tests, laid out by hand: the menu at offset 0 and
// games (or just their headers) at 32 KiB slots.
namespace CardPack {

constexpr uint32_t PageSize = 0x400000;
constexpr uint32_t SlotSize = 0x8000;

std::vector<uint8_t> ReadFile(const std::string& Path);

// Erased flash of Size bytes with the boot menu at 0.
std::vector<uint8_t> MenuPage(uint32_t Size = PageSize);

// Just a header: logo, title (up to 16 bytes), ROM and RAM size codes.
void PlaceHeader(std::vector<uint8_t>& Flash, uint32_t Slot, const std::string& Title,
                 uint8_t RomCode = 0, uint8_t RamCode = 0);
// A whole game image from a file.
void PlaceGame(std::vector<uint8_t>& Flash, uint32_t Slot, const std::string& Path);

// Where the build left the menu and the test games.
std::string MenuImagePath();
std::string GamePath(const std::string& Name);   // "demo32", "demo64", ...

}  // namespace CardPack
