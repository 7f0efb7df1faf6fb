// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/menu/CardPack.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace CardPack {

namespace {
const uint8_t Logo[48] = {
    0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
    0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
    0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
    0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E};
}

std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream F(Path, std::ios::binary);
  if (!F)
    throw std::runtime_error("cannot read " + Path);
  return {std::istreambuf_iterator<char>(F), std::istreambuf_iterator<char>()};
}

std::string MenuImagePath() { return FQ_GBPACK_IMAGE; }
std::string GamePath(const std::string& Name) { return std::string(FQ_GAMES_DIR) + "/" + Name + ".gb"; }

std::vector<uint8_t> MenuPage(uint32_t Size) {
  std::vector<uint8_t> Flash(Size, 0xFF);
  std::vector<uint8_t> Menu = ReadFile(MenuImagePath());
  std::copy(Menu.begin(), Menu.end(), Flash.begin());
  return Flash;
}

void PlaceHeader(std::vector<uint8_t>& Flash, uint32_t Slot, const std::string& Title,
                 uint8_t RomCode, uint8_t RamCode) {
  uint32_t Base = Slot * SlotSize;
  std::copy(std::begin(Logo), std::end(Logo), Flash.begin() + Base + 0x104);
  for (uint32_t I = 0; I < 16; ++I)
    Flash.at(Base + 0x134 + I) = I < Title.size() ? uint8_t(Title[I]) : 0;
  Flash.at(Base + 0x148) = RomCode;
  Flash.at(Base + 0x149) = RamCode;
}

void PlaceGame(std::vector<uint8_t>& Flash, uint32_t Slot, const std::string& Path) {
  std::vector<uint8_t> Game = ReadFile(Path);
  if (Slot * SlotSize + Game.size() > Flash.size())
    throw std::runtime_error(Path + " does not fit at that slot");
  std::copy(Game.begin(), Game.end(), Flash.begin() + Slot * SlotSize);
}

}  // namespace CardPack
