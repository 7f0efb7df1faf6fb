// SPDX-License-Identifier: GPL-3.0-or-later
// Starting a game from the menu: the card is switched over to the chosen
// game, which then runs from its own 0x0100 with its own banks.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/fixtures/games/GameMark.h"
#include "tests/menu/CardPack.h"
#include "tests/menu/MenuConsole.h"

namespace {

constexpr uint8_t Right = 0x01, Up = 0x04, Down = 0x08, A = 0x10, Start = 0x80;
constexpr int BootFrames = 60;

TGameMark ReadMark(const TMenuConsole& Console) {
  TGameMark Mark;
  auto* Bytes = reinterpret_cast<uint8_t*>(&Mark);
  for (size_t I = 0; I < sizeof Mark; ++I)
    Bytes[I] = Console.Peek(uint16_t(GAME_MARK_ADDRESS + I));
  return Mark;
}

// Page 1: demo32 at slot 1, 13 headers at slots 2-14, slot 15 empty,
// demo64 at slot 16 (its last row). Page 2: demo32save at slot 18 and
// demo128 at slot 124, near the end of the 4 MiB page.
std::vector<uint8_t> PackOfGames() {
  std::vector<uint8_t> Flash = CardPack::MenuPage();
  CardPack::PlaceGame(Flash, 1, CardPack::GamePath("demo32"));
  for (uint32_t Slot = 2; Slot <= 14; ++Slot)
    CardPack::PlaceHeader(Flash, Slot, "FILLER" + std::to_string(Slot));
  CardPack::PlaceGame(Flash, 16, CardPack::GamePath("demo64"));
  CardPack::PlaceGame(Flash, 18, CardPack::GamePath("demo32save"));
  CardPack::PlaceGame(Flash, 124, CardPack::GamePath("demo128"));
  return Flash;
}

struct TLaunchCase {
  const char* What;
  std::vector<uint8_t> Keys;  // before the start key
  uint8_t StartKey;
  const char* Title;
  uint32_t Slot;
  uint8_t Banks;              // 16 KiB banks of the game
  bool SaveRam;
  uint8_t Configuration;
};

TEST(MenuLaunch, ChosenGameRunsAsTheCartridge) {
  const TLaunchCase Cases[] = {
      {"slot 1, first row of page 1", {}, A, "FQ DEMO ONE", 1, 2, false, 0x37},
      {"slot 16, last row of page 1, reached by Up", {Up}, Start, "FQ DEMO TWO", 16, 4, false, 0x36},
      {"slot 18, first row of page 2, with save RAM", {Right}, A, "FQ DEMO FOUR", 18, 2, true, 0x27},
      {"slot 124, second row of page 2", {Right, Down}, A, "FQ DEMO THREE", 124, 8, true, 0x15},
  };
  for (const TLaunchCase& C : Cases) {
    SCOPED_TRACE(C.What);
    std::vector<uint8_t> Flash = PackOfGames();
    std::vector<uint8_t> Sram(0x20000, 0x40);
    TMenuConsole Console(Flash, Sram);
    Console.RunFrames(BootFrames);
    for (uint8_t Key : C.Keys)
      Console.Press(Key);
    Console.Press(C.StartKey, 4, 60);

    const TCardMapper& Card = Console.Mapper();
    ASSERT_TRUE(Card.GameMode());
    EXPECT_EQ(Card.GameBase(), C.Slot * CardPack::SlotSize);
    EXPECT_EQ(Card.Configuration(), C.Configuration);

    TGameMark Mark = ReadMark(Console);
    ASSERT_EQ(std::memcmp(Mark.Magic, GAME_MARK_MAGIC, 4), 0) << "the game did not run";
    EXPECT_STREQ(reinterpret_cast<const char*>(Mark.Title), C.Title) << "its own bank 0 at 0x0000";
    EXPECT_EQ(Mark.ConsoleType, 0x01) << "A as the boot ROM left it";
    EXPECT_EQ(Mark.FirstWindowBank, 1) << "its bank 1 at 0x4000 from the start";
    EXPECT_EQ(Mark.LastBank, C.Banks - 1);
    EXPECT_EQ(Mark.WrappedBank, 0) << "bank numbers masked by the game's size";
    if (C.SaveRam) {
      EXPECT_EQ(Mark.SaveBefore, 0x40);
      EXPECT_EQ(Mark.SaveAfter, 0x41);
      EXPECT_EQ(Sram[0], 0x41) << "the card's save RAM holds the game's write";
    } else {
      EXPECT_EQ(Mark.SaveAfter, 0xFF) << "no save RAM answers";
      EXPECT_EQ(Sram[0], 0x40);
    }
    EXPECT_EQ(Console.Row(1), " Flashquill demo    ");

    uint8_t Frames = Mark.Frames;
    Console.RunFrames(10);
    EXPECT_NE(ReadMark(Console).Frames, Frames) << "the game keeps running";
  }
}

TEST(MenuLaunch, ColourConsoleTypeReachesTheGame) {
  std::vector<uint8_t> Flash = PackOfGames();
  std::vector<uint8_t> Sram(0x20000, 0);
  TMenuConsole Console(Flash, Sram, 0, TMenuConsole::TModel::Colour);
  Console.RunFrames(BootFrames);
  EXPECT_EQ(Console.Row(3), ">01.FQ DEMO ONE     ");
  Console.Press(A, 4, 60);
  TGameMark Mark = ReadMark(Console);
  ASSERT_EQ(std::memcmp(Mark.Magic, GAME_MARK_MAGIC, 4), 0);
  EXPECT_EQ(Mark.ConsoleType, 0x11);
}

TEST(MenuLaunch, ConfigurationByteFromTheGamesHeader) {
  struct {
    uint8_t RomCode, RamCode, Configuration;
  } Cases[] = {
      {5, 3, 0x12}, {0, 0, 0x37}, {1, 0, 0x36}, {7, 0, 0x30},
      {0, 1, 0x27}, {0, 2, 0x27}, {2, 3, 0x15},
  };
  for (const auto& C : Cases) {
    std::vector<uint8_t> Flash = CardPack::MenuPage();
    CardPack::PlaceHeader(Flash, 3, "CONFIG", C.RomCode, C.RamCode);
    std::vector<uint8_t> Sram(0x20000, 0);
    TMenuConsole Console(Flash, Sram);
    Console.RunFrames(BootFrames);
    Console.Press(Start, 4, 30);
    ASSERT_TRUE(Console.Mapper().GameMode()) << int(C.RomCode) << "/" << int(C.RamCode);
    EXPECT_EQ(Console.Mapper().GameBase(), 3 * CardPack::SlotSize);
    EXPECT_EQ(Console.Mapper().Configuration(), C.Configuration)
        << "ROM code " << int(C.RomCode) << ", RAM code " << int(C.RamCode);
  }
}

}  // namespace
