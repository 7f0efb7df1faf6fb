#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The card as the cable's firmware and the console see it: 8 MiB of NOR flash
// (E28F640J3A: 64 erase blocks of 128 KiB, erased bytes read 0xFF, programming
// only clears bits) and 128 KiB of battery-backed save RAM.
//
// Address lines above a chip's size are not connected, so flash addresses wrap
// modulo 8 MiB and save-RAM addresses modulo 128 KiB.
class TCard {
public:
  static constexpr uint32_t FlashSize = 0x800000;
  static constexpr uint32_t SramSize = 0x20000;
  static constexpr uint32_t EraseBlockSize = 0x20000;
  static constexpr uint16_t E28F640J3AId = 0x8917;

  // In memory only: erased flash, zeroed save RAM.
  TCard();
  // Kept in Dir as flash.bin and sram.bin, created erased on first use.
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

  // The 4 MiB page the console sees at power-on: the base last sent with 'A'.
  uint32_t ConsolePageBase() const;
  void SetConsolePageBase(uint32_t Base);

  uint16_t ChipId() const;
  void SetChipId(uint16_t Id);      // tests: a chip with another identifier

  void Sync();                      // flush to the card files (no-op in memory)

private:
  struct TStore;
  std::unique_ptr<TStore> FStore;
  uint32_t FConsolePageBase = 0;
  uint16_t FChipId = E28F640J3AId;
};

// One transfer as it crossed the cable's USB connection.
struct TTransfer {
  bool In;                          // true: bulk IN (cable to host)
  std::vector<uint8_t> Bytes;
};

// The cable's firmware: takes bulk OUT transfers, answers with bulk IN
// transfers, carries the commands out on the card. Thread-safe: the driver
// tests call it from several threads.
class TCableEmulator {
public:
  explicit TCableEmulator(TCard& Card);

  // One bulk OUT transfer; returns the bytes taken, or -1 (LastError set).
  long BulkOut(const uint8_t* Data, size_t Count);
  // One bulk IN transfer of up to Count bytes; returns the bytes moved, or -1.
  // A read with no reply pending would block forever on the real cable; here
  // it fails at once with kErrTimedOut so a wrong flow cannot hang a test.
  long BulkIn(uint8_t* Data, size_t Count);
  int LastError() const;
  bool ReplyPending() const;

  // Test controls.
  void Unplug();                    // every later transfer fails with kErrNoSuchDevice
  void Plug();
  bool Plugged() const;
  void UnplugAfter(long Transfers); // unplug once that many more transfers went through
  void ShortReplyOnce(size_t Bytes);// the next reply carries only that many bytes
  void FlipReadBitOnce(uint32_t Offset, uint8_t Mask); // corrupt one byte of the next reply
  void EnableLog(bool On);
  std::vector<TTransfer> TakeLog();

  const uint8_t* Ports() const;     // the eight port bytes set with '1'

  TCard& Card();
};
