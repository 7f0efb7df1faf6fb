// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

#include "emulator/Card.h"

// The card as the console sees it: its mapper registers over one 4 MiB page
// of the flash and the save RAM. Works on plain memory, so the console's
// side can be run without the cable; ForCard() wires it to a TCard.
// What each register does is described in emulator/CardMapper.md.
class TCardMapper {
public:
  static constexpr uint32_t PageSize = 0x400000;
  static constexpr uint32_t BankSize = 0x4000;     // ROM window at 0x4000
  static constexpr uint32_t RamBankSize = 0x2000;  // RAM window at 0xA000
  static constexpr uint8_t UpdateOpen = 0xA5;
  static constexpr uint8_t UpdateClose = 0x98;
  // At power-on, before any update: 32 KiB, no save RAM.
  static constexpr uint8_t PowerOnConfiguration = 0x37;

  // Flash: FlashSize bytes; the console sees the page starting at PageBase,
  // and addresses beyond the flash wrap around it. Sram may be null.
  TCardMapper(const uint8_t* Flash, uint32_t FlashSize, uint8_t* Sram, uint32_t SramSize,
              uint32_t PageBase);

  // The console's view of a card: the page last selected with 'A'.
  static TCardMapper ForCard(TCard& Card) {
    return TCardMapper(Card.Flash(), TCard::FlashSize, Card.Sram(), TCard::SramSize,
                       Card.ConsolePageBase());
  }

  void PowerOn();

  // A console write to 0x0000-0x7FFF (registers) or 0xA000-0xBFFF (save
  // RAM); other addresses are not the card's and are ignored.
  void Write(uint16_t Address, uint8_t Value);
  // A console read of 0x0000-0x7FFF or 0xA000-0xBFFF (0xFF elsewhere).
  uint8_t Read(uint16_t Address) const;

  // Offsets in the page of what the two ROM windows show.
  uint32_t Bank0Offset() const;
  uint32_t Bank1Offset() const;
  // A byte of the page, as the card's address lines reach it.
  uint8_t ReadPage(uint32_t Offset) const;

  bool GameMode() const { return FGameMode; }
  bool UpdateIsOpen() const { return FUpdateOpen; }
  uint32_t GameBase() const { return FGameBase; }
  uint8_t Configuration() const { return FConfiguration; }
  uint32_t GameSize() const;   // from the configuration's size part
  uint32_t SaveSize() const;   // 0 when the game has no save RAM
  bool RamEnabled() const { return FRamEnabled; }
  uint16_t BankNumber() const { return FBank; }
  uint8_t RamBank() const { return FRamBank; }

private:
  // Offset in Sram of a RAM window address, or -1 when nothing answers.
  int64_t SramOffset(uint16_t Address) const;

  const uint8_t* FFlash;
  uint32_t FFlashSize;
  uint8_t* FSram;
  uint32_t FSramSize;
  uint32_t FPageBase;

  bool FGameMode = false;
  bool FUpdateOpen = false;
  bool FRamEnabled = false;
  uint16_t FBank = 1;
  uint8_t FRamBank = 0;
  uint32_t FGameBase = 0;
  uint8_t FConfiguration = PowerOnConfiguration;
};
