// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/CardMapper.h"

struct mCore;

// A Game Boy (libmgba, headless) with our card's mapper as its cartridge:
// every console write to the card's registers goes to TCardMapper, and the
// emulator's ROM windows and save-RAM accesses follow it.
class TMenuConsole {
public:
  enum class TModel { Original, Colour };

  // Flash and Sram stay owned by the caller and must outlive the console.
  TMenuConsole(std::vector<uint8_t>& Flash, std::vector<uint8_t>& Sram, uint32_t PageBase = 0,
               TModel Model = TModel::Original);
  ~TMenuConsole();
  TMenuConsole(const TMenuConsole&) = delete;
  TMenuConsole& operator=(const TMenuConsole&) = delete;

  void RunFrames(int Frames);
  // Holds the keys (the menu's key bits: Right 0x01 ... Start 0x80) for
  // Frames frames, then lets go and runs Release more frames.
  void Press(uint8_t MenuKeys, int Frames = 4, int Release = 12);

  // The 20 x 18 text screen from the background map, one string a row;
  // the cursor glyph (code 3) reads as '>', other codes below 32 as '?'.
  std::vector<std::string> Screen() const;
  std::string Row(int Index) const { return Screen().at(Index); }

  uint8_t Peek(uint16_t Address) const;   // the console's view of memory
  uint16_t Pc() const;
  const TCardMapper& Mapper() const { return FMapper; }

  // The last frame as a binary PPM picture.
  bool SaveFrame(const std::string& Path) const;

  // Called from the emulator's hooks.
  void CardWrite(uint16_t Address, uint8_t Value);
  uint8_t CardRead(uint16_t Address);

private:
  void SyncWindows();

  TCardMapper FMapper;
  std::vector<uint8_t> FRom;          // the page as the console's lines reach it
  std::vector<uint32_t> FVideo;
  mCore* FCore = nullptr;
};
