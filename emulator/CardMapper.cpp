// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/CardMapper.h"

TCardMapper::TCardMapper(const uint8_t* Flash, uint32_t FlashSize, uint8_t* Sram,
                         uint32_t SramSize, uint32_t PageBase)
    : FFlash(Flash), FFlashSize(Flash ? FlashSize : 0), FSram(Sram),
      FSramSize(Sram ? SramSize : 0), FPageBase(PageBase) {
  PowerOn();
}

void TCardMapper::PowerOn() {
  FGameMode = false;
  FUpdateOpen = false;
  FRamEnabled = false;
  FBank = 1;
  FRamBank = 0;
  FGameBase = 0;
  FConfiguration = PowerOnConfiguration;
}

uint32_t TCardMapper::GameSize() const {
  // Size bits 7 mean 32 KiB, each step down doubles it, 0 is the whole page.
  return 0x8000u << (7 - (FConfiguration & 0x07));
}

uint32_t TCardMapper::SaveSize() const {
  switch ((FConfiguration >> 4) & 0x03) {
  case 0: return 0x20000;
  case 1: return 0x8000;
  case 2: return 0x2000;
  default: return 0;
  }
}

void TCardMapper::Write(uint16_t Address, uint8_t Value) {
  if (Address >= 0xA000 && Address < 0xC000) {
    int64_t Offset = SramOffset(Address);
    if (Offset >= 0)
      FSram[Offset] = Value;
    return;
  }
  if (Address >= 0x8000)
    return;

  switch (Address >> 12) {
  case 0x0:
    FRamEnabled = (Value & 0x0F) == 0x0A;
    break;
  case 0x1:
    if (FGameMode) {
      // A game sees no update register: the whole range enables RAM.
      FRamEnabled = (Value & 0x0F) == 0x0A;
    } else if (Value == UpdateOpen) {
      FUpdateOpen = true;
      FGameBase = (uint32_t(FBank) * BankSize) % PageSize;
    } else if (Value == UpdateClose && FUpdateOpen) {
      // From now on the cartridge is the game alone, until power-off.
      FUpdateOpen = false;
      FGameMode = true;
      FBank = 1;
      FRamBank = 0;
    }
    break;
  case 0x2:
    FBank = uint16_t((FBank & 0x100) | Value);
    break;
  case 0x3:
    FBank = uint16_t((FBank & 0xFF) | ((Value & 0x01) << 8));
    break;
  case 0x4:
  case 0x5:
    FRamBank = Value & 0x0F;
    break;
  case 0x7:
    if (FUpdateOpen)
      FConfiguration = Value;
    break;
  default:
    break;
  }
}

uint8_t TCardMapper::Read(uint16_t Address) const {
  if (Address < 0x4000)
    return ReadPage(Bank0Offset() + Address);
  if (Address < 0x8000)
    return ReadPage(Bank1Offset() + (Address - 0x4000));
  if (Address >= 0xA000 && Address < 0xC000) {
    int64_t Offset = SramOffset(Address);
    return Offset >= 0 ? FSram[Offset] : 0xFF;
  }
  return 0xFF;
}

uint32_t TCardMapper::Bank0Offset() const {
  return FGameMode ? FGameBase : 0;
}

uint32_t TCardMapper::Bank1Offset() const {
  if (!FGameMode)
    return (uint32_t(FBank) * BankSize) % PageSize;
  uint32_t Banks = GameSize() / BankSize;
  return (FGameBase + (FBank & (Banks - 1)) * BankSize) % PageSize;
}

uint8_t TCardMapper::ReadPage(uint32_t Offset) const {
  if (FFlashSize == 0)
    return 0xFF;
  return FFlash[(uint64_t(FPageBase) + Offset % PageSize) % FFlashSize];
}

int64_t TCardMapper::SramOffset(uint16_t Address) const {
  if (!FRamEnabled || FSramSize == 0)
    return -1;
  uint32_t Size = FGameMode ? SaveSize() : 0x20000;
  if (Size == 0)
    return -1;
  uint32_t Offset = (uint32_t(FRamBank) * RamBankSize + (Address - 0xA000)) % Size;
  return Offset % FSramSize;
}
