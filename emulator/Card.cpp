// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/Card.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "emulator/CardFile.h"

struct TCard::TStore {
  std::string Dir;
  std::vector<uint8_t> FlashBytes, SramBytes;   // the card in memory
  std::optional<TCardFile> FlashFile, SramFile;   // or the card in its files
  uint8_t* Flash = nullptr;
  uint8_t* Sram = nullptr;
};

TCard::TCard() : FStore(std::make_unique<TStore>()) {
  FStore->FlashBytes.assign(FlashSize, 0xFF);
  FStore->SramBytes.assign(SramSize, 0x00);
  FStore->Flash = FStore->FlashBytes.data();
  FStore->Sram = FStore->SramBytes.data();
}

TCard::TCard(const std::string& Dir) : FStore(std::make_unique<TStore>()) {
  if (Dir.empty()) throw std::runtime_error("No folder was given for the card files.");
  std::error_code Error;
  std::filesystem::create_directories(Dir, Error);
  if (Error) throw std::runtime_error("Cannot create the card folder " + Dir + ": " + Error.message());
  if (!std::filesystem::is_directory(Dir, Error))
    throw std::runtime_error("The card folder " + Dir + " is not a folder.");

  FStore->Dir = Dir;
  // Erased flash reads 0xFF. Save RAM starts zeroed, the same as the in-memory
  // card, so a fresh card reads the same whichever way it is kept.
  FStore->FlashFile.emplace(Dir, "flash.bin", FlashSize, 0xFF);
  FStore->SramFile.emplace(Dir, "sram.bin", SramSize, 0x00);
  FStore->Flash = FStore->FlashFile->Bytes();
  FStore->Sram = FStore->SramFile->Bytes();
}

TCard::~TCard() = default;

uint8_t TCard::ReadFlash(uint32_t Address) const { return FStore->Flash[Address % FlashSize]; }

void TCard::ProgramFlash(uint32_t Address, uint8_t Value) {
  Address %= FlashSize;
  if (FWeakMask.load() != 0 && Address == FWeakAddress.load()) Value ^= FWeakMask.load();
  FStore->Flash[Address] &= Value;
}

void TCard::SetWeakCell(uint32_t Address, uint8_t Mask) {
  FWeakAddress.store(Address % FlashSize);
  FWeakMask.store(Mask);
}

void TCard::EraseBlock(uint32_t Address) {
  uint32_t Start = (Address % FlashSize) / EraseBlockSize * EraseBlockSize;
  std::memset(FStore->Flash + Start, 0xFF, EraseBlockSize);
}

uint8_t TCard::ReadSram(uint32_t Address) const { return FStore->Sram[Address % SramSize]; }

void TCard::WriteSram(uint32_t Address, uint8_t Value) { FStore->Sram[Address % SramSize] = Value; }

uint8_t* TCard::Flash() { return FStore->Flash; }
const uint8_t* TCard::Flash() const { return FStore->Flash; }
uint8_t* TCard::Sram() { return FStore->Sram; }
const uint8_t* TCard::Sram() const { return FStore->Sram; }

uint32_t TCard::ConsolePageBase() const { return FConsolePageBase.load(); }

void TCard::SetConsolePageBase(uint32_t Base) {
  FConsolePageBase.store((Base % FlashSize) / ConsolePageSize * ConsolePageSize);
}

uint16_t TCard::ChipId() const { return FChipId.load(); }
void TCard::SetChipId(uint16_t Id) { FChipId.store(Id); }

void TCard::Sync() {
  if (FStore->FlashFile) FStore->FlashFile->Sync();
  if (FStore->SramFile) FStore->SramFile->Sync();
}

const std::string& TCard::Dir() const { return FStore->Dir; }
