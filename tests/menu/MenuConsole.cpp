// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/menu/MenuConsole.h"

#include <cstdio>
#include <map>
#include <stdexcept>

// The library's structures depend on its build flags: this header first.
#include <mgba/flags.h>
#include <mgba/core/config.h>
#include <mgba/core/core.h>
#include <mgba/core/log.h>
#include <mgba/gb/core.h>
#include <mgba/internal/gb/gb.h>
#include <mgba/internal/gb/mbc.h>
#include <mgba/internal/gb/memory.h>
#include <mgba/internal/sm83/sm83.h>
#include <mgba-util/vfs.h>

namespace {

// The emulator's hooks carry only its own structures; find our console
// from them. Tests run one console at a time, but several may exist.
std::map<const void*, TMenuConsole*>& Consoles() {
  static std::map<const void*, TMenuConsole*> Map;
  return Map;
}

void HookWrite(struct GB* Gb, uint16_t Address, uint8_t Value) {
  Consoles().at(Gb)->CardWrite(Address, Value);
}

uint8_t HookRead(struct GBMemory* Memory, uint16_t Address) {
  return Consoles().at(Memory)->CardRead(Address);
}

void QuietLog(struct mLogger*, int, enum mLogLevel, const char*, va_list) {}
struct mLogger QuietLogger = {QuietLog, nullptr};

// Menu key bits to the emulator's key numbers.
uint32_t EmulatorKeys(uint8_t MenuKeys) {
  static const struct { uint8_t Menu; int Bit; } Keys[] = {
      {0x01, 4}, {0x02, 5}, {0x04, 6}, {0x08, 7},   // Right Left Up Down
      {0x10, 0}, {0x20, 1}, {0x40, 2}, {0x80, 3}};  // A B Select Start
  uint32_t Bits = 0;
  for (auto K : Keys)
    if (MenuKeys & K.Menu)
      Bits |= 1u << K.Bit;
  return Bits;
}

constexpr int ScreenWidth = 160;
constexpr int ScreenHeight = 144;

}  // namespace

TMenuConsole::TMenuConsole(std::vector<uint8_t>& Flash, std::vector<uint8_t>& Sram,
                           uint32_t PageBase, TModel Model)
    : FMapper(Flash.data(), uint32_t(Flash.size()), Sram.data(), uint32_t(Sram.size()),
              PageBase),
      FRom(TCardMapper::PageSize), FVideo(256 * 256) {
  mLogSetDefaultLogger(&QuietLogger);
  for (uint32_t I = 0; I < FRom.size(); ++I)
    FRom[I] = FMapper.ReadPage(I);

  FCore = GBCoreCreate();
  if (!FCore || !FCore->init(FCore))
    throw std::runtime_error("libmgba: no Game Boy core");
  mCoreInitConfig(FCore, nullptr);
  // The menu's header asks for no colour, so the model is chosen outright.
  mCoreConfigSetValue(&FCore->config, "gb.model", Model == TModel::Colour ? "CGB" : "DMG");
  FCore->reloadConfigOption(FCore, "gb.model", nullptr);
  FCore->setVideoBuffer(FCore, reinterpret_cast<color_t*>(FVideo.data()), 256);
  struct VFile* Rom = VFileFromConstMemory(FRom.data(), FRom.size());
  if (!Rom || !FCore->loadROM(FCore, Rom))
    throw std::runtime_error("libmgba: the card page does not load");
  FCore->reset(FCore);

  // A reset puts the stock controller back, so the card goes in after it.
  auto* Gb = static_cast<struct GB*>(FCore->board);
  Consoles()[Gb] = this;
  Consoles()[&Gb->memory] = this;
  Gb->memory.mbcWrite = HookWrite;
  Gb->memory.mbcRead = HookRead;
  Gb->memory.mbcReadHigh = true;
  Gb->memory.mbcWriteHigh = true;
  Gb->memory.sramAccess = false;
  Gb->memory.directSramAccess = false;
  SyncWindows();
}

TMenuConsole::~TMenuConsole() {
  auto* Gb = static_cast<struct GB*>(FCore->board);
  Consoles().erase(Gb);
  Consoles().erase(&Gb->memory);
  FCore->deinit(FCore);
}

void TMenuConsole::CardWrite(uint16_t Address, uint8_t Value) {
  FMapper.Write(Address, Value);
  SyncWindows();
}

uint8_t TMenuConsole::CardRead(uint16_t Address) {
  return FMapper.Read(Address);
}

void TMenuConsole::SyncWindows() {
  auto* Gb = static_cast<struct GB*>(FCore->board);
  GBMBCSwitchBank0(Gb, int(FMapper.Bank0Offset() / TCardMapper::BankSize));
  GBMBCSwitchBank(Gb, int(FMapper.Bank1Offset() / TCardMapper::BankSize));
}

void TMenuConsole::RunFrames(int Frames) {
  for (int I = 0; I < Frames; ++I)
    FCore->runFrame(FCore);
}

void TMenuConsole::Press(uint8_t MenuKeys, int Frames, int Release) {
  FCore->setKeys(FCore, EmulatorKeys(MenuKeys));
  RunFrames(Frames);
  FCore->setKeys(FCore, 0);
  RunFrames(Release);
}

std::vector<std::string> TMenuConsole::Screen() const {
  auto* Gb = static_cast<struct GB*>(FCore->board);
  const uint8_t* Map = Gb->video.vram + 0x1800;  // background map at 0x9800
  std::vector<std::string> Rows;
  for (int Row = 0; Row < 18; ++Row) {
    std::string Text;
    for (int Column = 0; Column < 20; ++Column) {
      uint8_t Code = Map[Row * 32 + Column];
      Text += Code == 3 ? '>' : (Code < 32 || Code > 126 ? '?' : char(Code));
    }
    Rows.push_back(Text);
  }
  return Rows;
}

uint8_t TMenuConsole::Peek(uint16_t Address) const {
  return uint8_t(FCore->busRead8(FCore, Address));
}

uint16_t TMenuConsole::Pc() const {
  auto* Gb = static_cast<struct GB*>(FCore->board);
  return Gb->cpu->pc;
}

bool TMenuConsole::SaveFrame(const std::string& Path) const {
  FILE* F = std::fopen(Path.c_str(), "wb");
  if (!F)
    return false;
  std::fprintf(F, "P6\n%d %d\n255\n", ScreenWidth, ScreenHeight);
  for (int Y = 0; Y < ScreenHeight; ++Y)
    for (int X = 0; X < ScreenWidth; ++X) {
      uint32_t C = FVideo[Y * 256 + X];
      uint8_t Rgb[3] = {uint8_t(C), uint8_t(C >> 8), uint8_t(C >> 16)};
      std::fwrite(Rgb, 1, 3, F);
    }
  return std::fclose(F) == 0;
}
