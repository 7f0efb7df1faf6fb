// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// The card as the cable's firmware and the console see it: 8 MiB of NOR flash
// (E28F640J3A: 64 erase blocks of 128 KiB, erased bytes read 0xFF, programming
// only clears bits) and 128 KiB of battery-backed save RAM.
//
// Address lines above a chip's size are not connected, so flash addresses wrap
// modulo 8 MiB and save-RAM addresses modulo 128 KiB: every routine below takes
// any 32-bit address and uses only its low 23 (flash) or 17 (save RAM) bits.
// A read of 8 MiB from 4 MiB onwards therefore returns the second page and then
// the first one again, as the card itself answers it.
//
// A card kept in a folder lives in two files there, flash.bin (8388608 bytes)
// and sram.bin (131072 bytes), mapped into memory and shared with the files:
// every byte the firmware stores is in the file's pages at once, so nothing is
// lost when the program ends or is killed between two packets. Missing files
// are created whole under a temporary name and only then given their names,
// flash erased (0xFF) and save RAM zeroed, like the in-memory card; a file of
// another size is refused with a clear text and left as it is.
class TCard {
public:
  static constexpr uint32_t FlashSize = 0x800000;
  static constexpr uint32_t SramSize = 0x20000;
  static constexpr uint32_t EraseBlockSize = 0x20000;
  static constexpr uint32_t ConsolePageSize = 0x400000;
  static constexpr uint16_t E28F640J3AId = 0x8917;

  // In memory only: erased flash, zeroed save RAM.
  TCard();
  // Kept in Dir as flash.bin and sram.bin, created erased on first use (Dir
  // too, when it does not exist yet).
  // Throws std::runtime_error with a clear text when Dir cannot be used.
  explicit TCard(const std::string& Dir);
  ~TCard();
  TCard(const TCard&) = delete;
  TCard& operator=(const TCard&) = delete;

  uint8_t ReadFlash(uint32_t Address) const;
  void ProgramFlash(uint32_t Address, uint8_t Value);   // new = old AND Value
  void EraseBlock(uint32_t Address);                    // the 128 KiB block holding Address
  uint8_t ReadSram(uint32_t Address) const;
  void WriteSram(uint32_t Address, uint8_t Value);

  // Whole-memory views for tests, fixtures and the console's mapper.
  uint8_t* Flash();
  const uint8_t* Flash() const;
  uint8_t* Sram();
  const uint8_t* Sram() const;

  // The 4 MiB page the console sees at power-on: the base last sent with 'A',
  // wrapped to the chip and rounded down to its page (0 or 0x400000).
  uint32_t ConsolePageBase() const;
  void SetConsolePageBase(uint32_t Base);

  uint16_t ChipId() const;
  void SetChipId(uint16_t Id);      // tests: a chip with another identifier
  // A worn cell for rehearsals: every program of the flash byte at Address
  // stores the value with the bits of Mask flipped. Mask 0: none.
  void SetWeakCell(uint32_t Address, uint8_t Mask);

  void Sync();                      // flush to the card files (no-op in memory)

  // The folder holding the card files; empty for a card in memory.
  const std::string& Dir() const;

private:
  struct TStore;
  std::unique_ptr<TStore> FStore;
  std::atomic<uint32_t> FConsolePageBase{0};
  std::atomic<uint16_t> FChipId{E28F640J3AId};
  std::atomic<uint32_t> FWeakAddress{0};
  std::atomic<uint8_t> FWeakMask{0};
};
