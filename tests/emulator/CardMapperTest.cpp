// SPDX-License-Identifier: GPL-3.0-or-later
// The card's mapper on plain memory: the register rules of CardMapper.md.
#include <gtest/gtest.h>

#include "emulator/CardMapper.h"

namespace {

constexpr uint32_t Bank = TCardMapper::BankSize;

// Flash whose every 16 KiB bank starts with its own number (16 bits).
std::vector<uint8_t> NumberedFlash(uint32_t Size) {
  std::vector<uint8_t> Flash(Size, 0xFF);
  for (uint32_t B = 0; B < Size / Bank; ++B) {
    Flash[B * Bank] = uint8_t(B);
    Flash[B * Bank + 1] = uint8_t(B >> 8);
  }
  return Flash;
}

uint32_t BankAt(const TCardMapper& M, uint16_t Window) {
  return uint32_t(M.Read(Window) | (M.Read(Window + 1) << 8));
}

// What the menu's start routine does for a game at Slot.
void StartGame(TCardMapper& M, uint8_t Slot, uint8_t Configuration) {
  M.Write(0x3000, 0);
  M.Write(0x2000, 0);
  M.Write(0x0000, 0x0A);
  M.Write(0x2000, uint8_t(Slot * 2));
  M.Write(0x1000, 0xA5);
  M.Write(0x7000, Configuration);
  M.Write(0x1000, 0x98);
  M.Write(0x0000, 0x0A);
}

TEST(CardMapper, MenuModeSeesThePageInBanksThatWrapAtItsEnd) {
  struct TCase {
    uint32_t FlashSize, PageBase;
    uint16_t Selected;
    uint32_t Expected;  // flash bank seen at 0x4000
  } Cases[] = {
      {0x400000, 0, 0x0021, 0x21},
      {0x400000, 0, 0x0101, 0x01},      // 4 MiB page: 0x101 is bank 1 again
      {0x400000, 0, 0x01FF, 0xFF},      // bit 8 from 0x3000 counts
      {0x080000, 0, 0x0021, 0x01},      // 512 KiB flash wraps at its size
      {0x800000, 0x400000, 0x0001, 0x101},  // second page of an 8 MiB flash
      {0x800000, 0x400000, 0x0100, 0x100},  // ... and it wraps inside that page
  };
  for (const TCase& C : Cases) {
    std::vector<uint8_t> Flash = NumberedFlash(C.FlashSize);
    TCardMapper M(Flash.data(), C.FlashSize, nullptr, 0, C.PageBase);
    EXPECT_EQ(BankAt(M, 0x4000), C.PageBase / Bank + 1) << "power-on shows bank 1";
    M.Write(0x3000, uint8_t(C.Selected >> 8));
    M.Write(0x2000, uint8_t(C.Selected));
    EXPECT_EQ(BankAt(M, 0x4000), C.Expected) << std::hex << C.FlashSize << " " << C.Selected;
    EXPECT_EQ(BankAt(M, 0x0000), C.PageBase / Bank) << "bank 0 stays the page's first";
  }
}

TEST(CardMapper, AfterTheUpdateTheCartridgeIsTheGameAlone) {
  std::vector<uint8_t> Flash = NumberedFlash(0x400000);
  TCardMapper M(Flash.data(), uint32_t(Flash.size()), nullptr, 0, 0);
  StartGame(M, 5, 0x36);  // 64 KiB game at slot 5: banks 10-13

  ASSERT_TRUE(M.GameMode());
  EXPECT_EQ(M.GameBase(), 10 * Bank);
  EXPECT_EQ(M.GameSize(), 0x10000u);
  EXPECT_EQ(BankAt(M, 0x0000), 10u) << "the game's first bank at 0x0000";
  EXPECT_EQ(BankAt(M, 0x4000), 11u) << "its second bank at 0x4000 without a write";

  struct { uint16_t Selected; uint32_t Expected; } Banks[] = {
      {3, 13}, {0, 10}, {4, 10}, {5, 11}, {0x103, 13}};  // masked by the game's 4 banks
  for (auto B : Banks) {
    M.Write(0x3000, uint8_t(B.Selected >> 8));
    M.Write(0x2000, uint8_t(B.Selected));
    EXPECT_EQ(BankAt(M, 0x4000), B.Expected) << "bank " << B.Selected;
  }
}

TEST(CardMapper, UpdateRegisterOnlyAnswersTheMenuInOrder) {
  std::vector<uint8_t> Flash = NumberedFlash(0x400000);
  TCardMapper M(Flash.data(), uint32_t(Flash.size()), nullptr, 0, 0);

  M.Write(0x7000, 0x12);
  M.Write(0x1000, 0x98);
  EXPECT_FALSE(M.GameMode()) << "closing an update never opened";
  EXPECT_EQ(M.Configuration(), TCardMapper::PowerOnConfiguration) << "0x7000 outside an update";

  StartGame(M, 2, 0x37);
  ASSERT_TRUE(M.GameMode());
  // A game writing the same values cannot switch the card to another game.
  M.Write(0x2000, 40);
  M.Write(0x1000, 0xA5);
  M.Write(0x7000, 0x30);
  M.Write(0x1000, 0x98);
  EXPECT_EQ(M.GameBase(), 4 * Bank);
  EXPECT_EQ(M.Configuration(), 0x37);
  EXPECT_EQ(BankAt(M, 0x0000), 4u);

  M.PowerOn();
  EXPECT_FALSE(M.GameMode());
  EXPECT_EQ(BankAt(M, 0x0000), 0u) << "power-off brings the menu back";
}

TEST(CardMapper, SaveRamFollowsEnableBankAndTheGamesSaveClass) {
  std::vector<uint8_t> Flash(0x400000, 0xFF);
  std::vector<uint8_t> Sram(0x20000, 0);
  for (uint32_t I = 0; I < Sram.size(); I += 0x2000)
    Sram[I] = uint8_t(I / 0x2000);  // each 8 KiB bank starts with its number

  struct TCase {
    const char* What;
    uint8_t Configuration;
    uint8_t RamBank;
    int Expected;  // byte at 0xA000, -1: nothing answers (0xFF)
  } Cases[] = {
      {"no save RAM", 0x37, 0, -1},
      {"8 KiB: every bank is the one bank", 0x27, 3, 0},
      {"32 KiB: bank 3", 0x17, 3, 3},
      {"32 KiB: bank 4 wraps to 0", 0x17, 4, 0},
      {"128 KiB: bank 15", 0x07, 15, 15},
  };
  for (const TCase& C : Cases) {
    TCardMapper M(Flash.data(), uint32_t(Flash.size()), Sram.data(), uint32_t(Sram.size()), 0);
    StartGame(M, 1, C.Configuration);
    M.Write(0x4000, C.RamBank);
    EXPECT_EQ(M.Read(0xA000), C.Expected < 0 ? 0xFF : C.Expected) << C.What;

    M.Write(0xA001, 0x5A);
    int Offset = C.Expected < 0 ? -1 : C.Expected * 0x2000 + 1;
    if (Offset >= 0) {
      EXPECT_EQ(Sram[Offset], 0x5A) << C.What;
      Sram[Offset] = 0;
    }

    M.Write(0x1000, 0x00);  // in a game the whole 0x0000-0x1FFF range switches RAM
    EXPECT_EQ(M.Read(0xA000), 0xFF) << C.What << ": RAM off";
    M.Write(0xA001, 0x77);
  }
  for (uint32_t I = 0; I < Sram.size(); ++I)
    ASSERT_EQ(Sram[I], I % 0x2000 == 0 ? uint8_t(I / 0x2000) : 0) << "stray write at " << I;
}

TEST(CardMapper, ConfigurationSizes) {
  const uint32_t GameSizes[8] = {0x400000, 0x200000, 0x100000, 0x80000,
                                 0x40000,  0x20000,  0x10000,  0x8000};
  const uint32_t SaveSizes[4] = {0x20000, 0x8000, 0x2000, 0};
  std::vector<uint8_t> Flash(0x8000, 0xFF);
  for (uint8_t E = 0; E < 4; ++E)
    for (uint8_t D = 0; D < 8; ++D) {
      TCardMapper M(Flash.data(), uint32_t(Flash.size()), nullptr, 0, 0);
      StartGame(M, 0, uint8_t(E << 4 | D));
      EXPECT_EQ(M.GameSize(), GameSizes[D]) << int(D);
      EXPECT_EQ(M.SaveSize(), SaveSizes[E]) << int(E);
    }
}

}  // namespace
