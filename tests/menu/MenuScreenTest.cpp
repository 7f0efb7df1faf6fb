// SPDX-License-Identifier: GPL-3.0-or-later
// The menu on a real (emulated) console: what the walk over the card finds
// and how the list, its pages and the cursor look and move.
#include <gtest/gtest.h>

#include <functional>

#include "tests/menu/CardPack.h"
#include "tests/menu/MenuConsole.h"

namespace {

using CardPack::PlaceHeader;
using TRows = std::vector<std::string>;

constexpr uint8_t Right = 0x01, Left = 0x02, Up = 0x04, Down = 0x08, A = 0x10, B = 0x20,
                  Select = 0x40, Start = 0x80;
constexpr int BootFrames = 60;

std::string Pad(std::string Text) {
  Text.resize(20, ' ');
  return Text;
}

struct TMenu {
  std::vector<uint8_t> Flash;
  std::vector<uint8_t> Sram = std::vector<uint8_t>(0x20000, 0);
  std::unique_ptr<TMenuConsole> Console;

  explicit TMenu(std::vector<uint8_t> F) : Flash(std::move(F)) {
    Console = std::make_unique<TMenuConsole>(Flash, Sram);
    Console->RunFrames(BootFrames);
  }
  TRows Screen() const { return Console->Screen(); }
  // The game rows 3-17, with the cursor column.
  TRows Games() const {
    TRows All = Screen();
    return TRows(All.begin() + 3, All.end());
  }
  int CursorRow() const {
    TRows All = Screen();
    int Found = -1;
    for (int Row = 0; Row < 18; ++Row)
      if (All[Row][0] == '>') {
        EXPECT_EQ(Found, -1) << "two cursors";
        Found = Row;
      }
    return Found;
  }
};

// Count games titled GAME01, GAME02, ... at slots 1, 2, ...
std::vector<uint8_t> NumberedGames(int Count, const std::string& Tail = "") {
  std::vector<uint8_t> Flash = CardPack::MenuPage();
  for (int I = 1; I <= Count; ++I) {
    char Title[8];
    std::snprintf(Title, sizeof Title, "GAME%02d", I);
    PlaceHeader(Flash, I, Title + Tail);
  }
  return Flash;
}

TEST(MenuScreen, CardWithOnlyTheMenuSaysSoAndIgnoresKeys) {
  TMenu Menu(CardPack::MenuPage());
  TRows Expected(18, Pad(""));
  Expected[0] = Pad("   no data present");
  ASSERT_EQ(Menu.Screen(), Expected);

  for (uint8_t Key : {Right, Left, Up, Down, A, B, Select, Start}) {
    Menu.Console->Press(Key);
    EXPECT_EQ(Menu.Screen(), Expected) << "key " << int(Key);
    EXPECT_FALSE(Menu.Console->Mapper().GameMode()) << "key " << int(Key);
  }
  EXPECT_LT(Menu.Console->Pc(), 0x4000) << "still in the menu's own bank";
}

struct TScanCase {
  const char* What;
  std::function<void(std::vector<uint8_t>&)> Fill;
  TRows Rows;  // rows 3 onward, up to the first blank one
};

TEST(MenuScreen, WalkOverTheCardListsWhatItShould) {
  const std::vector<TScanCase> Cases = {
      {"a 64 KiB game is stepped over whole: the header at slot 3 lies inside it",
       [](auto& F) {
         PlaceHeader(F, 1, "ALPHA");
         PlaceHeader(F, 2, "BRAVO", 1);
         PlaceHeader(F, 3, "INSIDE");
         PlaceHeader(F, 4, "CHARLIE");
       },
       {">01.ALPHA", " 02.BRAVO", " 03.CHARLIE"}},
      {"one wrong logo byte passes the slot over",
       [](auto& F) {
         PlaceHeader(F, 1, "BROKEN");
         F[1 * CardPack::SlotSize + 0x104 + 20] ^= 0x01;
         PlaceHeader(F, 2, "NEXT");
       },
       {">01.NEXT"}},
      {"ROM size code 8 and RAM size code 4 are not listed",
       [](auto& F) {
         PlaceHeader(F, 1, "BIGROM", 8, 0);
         PlaceHeader(F, 2, "BIGRAM", 0, 4);
         PlaceHeader(F, 3, "FINE", 7, 3);
       },
       {">01~FINE"}},
      {"save markers: none, 2 KiB, 8 KiB, 32 KiB",
       [](auto& F) {
         PlaceHeader(F, 1, "NONE", 0, 0);
         PlaceHeader(F, 2, "TWO", 0, 1);
         PlaceHeader(F, 3, "EIGHT", 0, 2);
         PlaceHeader(F, 4, "THIRTYTWO", 0, 3);
       },
       {">01.NONE", " 02-TWO", " 03-EIGHT", " 04~THIRTYTWO"}},
      {"a title is shown as stored, up to its first zero",
       [](auto& F) { PlaceHeader(F, 1, std::string("AB\0CD", 5)); },
       {">01.AB"}},
  };
  for (const TScanCase& C : Cases) {
    std::vector<uint8_t> Flash = CardPack::MenuPage();
    C.Fill(Flash);
    TMenu Menu(std::move(Flash));
    TRows Games = Menu.Games();
    TRows Expected;
    for (const std::string& R : C.Rows)
      Expected.push_back(Pad(R));
    Expected.resize(15, Pad(""));
    EXPECT_EQ(Games, Expected) << C.What;
  }
}

TEST(MenuScreen, CardSizeComesFromWhereTheCardWraps) {
  struct {
    uint32_t FlashSize;
    const char* Heading;
    uint32_t LastSlot;  // the last slot the walk examines
  } Cases[] = {
      {0x080000, " Flashquill4M V1.3", 15},
      {0x200000, " Flashquill16M V1.3", 63},
      {0x400000, " Flashquill32M V1.3", 127},
  };
  for (const auto& C : Cases) {
    std::vector<uint8_t> Flash = CardPack::MenuPage(C.FlashSize);
    PlaceHeader(Flash, C.LastSlot, "LAST");
    TMenu Menu(std::move(Flash));
    TRows Screen = Menu.Screen();
    EXPECT_EQ(Screen[0], Pad(C.Heading)) << C.FlashSize;
    EXPECT_EQ(Screen[1], Pad("Push Up Dn St/A Key"));
    // One slot further the card shows the menu again; it must not be listed.
    EXPECT_EQ(Screen[3], Pad(">01.LAST")) << C.FlashSize;
    EXPECT_EQ(Screen[4], Pad("")) << C.FlashSize;
  }
}

TEST(MenuScreen, SixteenGamesMakeTwoPages) {
  TMenu Menu(NumberedGames(16));
  TRows Screen = Menu.Screen();
  EXPECT_EQ(Screen[2], Pad("                 1/2"));
  EXPECT_EQ(Screen[3], Pad(">01.GAME01"));
  EXPECT_EQ(Screen[11], Pad(" 09.GAME09"));
  EXPECT_EQ(Screen[12], Pad(" 10.GAME10"));
  EXPECT_EQ(Screen[17], Pad(" 15.GAME15"));

  TRows PageTwo(18, Pad(""));
  PageTwo[0] = Screen[0];
  PageTwo[1] = Screen[1];
  PageTwo[2] = Pad("                 2/2");
  PageTwo[3] = Pad(">16.GAME16");

  Menu.Console->Press(Right);
  EXPECT_EQ(Menu.Screen(), PageTwo);
  Menu.Console->Press(Right);
  EXPECT_EQ(Menu.Screen(), PageTwo) << "Right on the last page";
  Menu.Console->Press(Down);
  EXPECT_EQ(Menu.CursorRow(), 3) << "one game: Down wraps onto itself";
  Menu.Console->Press(Left);
  EXPECT_EQ(Menu.Screen(), Screen);
  Menu.Console->Press(Left);
  EXPECT_EQ(Menu.Screen(), Screen) << "Left on the first page";
  Menu.Console->Press(Select);
  EXPECT_EQ(Menu.Screen(), PageTwo);
  Menu.Console->Press(Select);
  EXPECT_EQ(Menu.Screen(), Screen) << "Select wraps to the first page";
}

TEST(MenuScreen, ThirtyLongTitlesMakeTwoFullPagesWithTheirLastRowsCut) {
  // 16-character titles fill a row to its last column.
  TRows Screen;
  TMenu Menu(NumberedGames(30, "=LONGTITLE"));
  Screen = Menu.Screen();
  EXPECT_EQ(Screen[0], Pad(" Flashquill32M V1.3")) << "the screen did not scroll";
  EXPECT_EQ(Screen[2], Pad("                 1/2"));
  EXPECT_EQ(Screen[16], " 14.GAME14=LONGTITLE");
  EXPECT_EQ(Screen[17], Pad(" 15.GAME15=LONGTITL"));

  Menu.Console->Press(Right);
  Screen = Menu.Screen();
  EXPECT_EQ(Screen[0], Pad(" Flashquill32M V1.3"));
  EXPECT_EQ(Screen[2], Pad("                 2/2"));
  EXPECT_EQ(Screen[3], ">16.GAME16=LONGTITLE");
  EXPECT_EQ(Screen[17], Pad(" 30.GAME30=LONGTITL"));
}

TEST(MenuScreen, FifteenGamesShowNoPageIndicator) {
  TMenu Menu(NumberedGames(15));
  EXPECT_EQ(Menu.Screen()[2], Pad(""));
  Menu.Console->Press(Right);
  EXPECT_EQ(Menu.Screen()[3], Pad(">01.GAME01"));
}

TEST(MenuScreen, CursorWrapsBothWaysAndRepeatsWhileHeld) {
  TMenu Menu(NumberedGames(3));
  EXPECT_EQ(Menu.CursorRow(), 3);
  Menu.Console->Press(Up);
  EXPECT_EQ(Menu.CursorRow(), 5) << "Up on the first row";
  Menu.Console->Press(Down);
  EXPECT_EQ(Menu.CursorRow(), 3) << "Down on the last row";
  Menu.Console->Press(Down);
  EXPECT_EQ(Menu.CursorRow(), 4);
  EXPECT_EQ(Menu.Screen()[3], Pad(" 01.GAME01")) << "the old cursor is erased";

  // A direction comes before Start: the cursor moves, nothing starts.
  Menu.Console->Press(Up | Start);
  EXPECT_EQ(Menu.CursorRow(), 3);
  EXPECT_FALSE(Menu.Console->Mapper().GameMode());

  // Held for 40 frames (2/3 s), one step every 150 ms: about four steps.
  TMenu Long(NumberedGames(15));
  Long.Console->Press(Down, 40, 12);
  EXPECT_GE(Long.CursorRow(), 3 + 3);
  EXPECT_LE(Long.CursorRow(), 3 + 5);
}

}  // namespace

namespace {

// Title bytes below 0x20 are blanks on screen: a line feed in the title of
// the 15th row would otherwise scroll the screen, and the cursor beside
// game 01 would sit on the row that shows game 02.
TEST(MenuScreen, ControlBytesInTitlesShowAsBlanks) {
  std::vector<uint8_t> Flash = NumberedGames(14);
  PlaceHeader(Flash, 1, std::string("ONE\x01TWO\x1F", 8));
  PlaceHeader(Flash, 15, std::string("LAST\nROW\r\t", 10));
  TMenu Menu(std::move(Flash));
  const TRows Screen = Menu.Screen();
  EXPECT_EQ(Screen[0], Pad(" Flashquill32M V1.3")) << "the screen scrolled";
  EXPECT_EQ(Screen[3], Pad(">01.ONE TWO"));
  EXPECT_EQ(Screen[4], Pad(" 02.GAME02"));
  EXPECT_EQ(Screen[17], Pad(" 15.LAST ROW"));
  EXPECT_EQ(Menu.CursorRow(), 3);

  Menu.Console->Press(Start, 4, 60);
  ASSERT_TRUE(Menu.Console->Mapper().GameMode());
  EXPECT_EQ(Menu.Console->Mapper().GameBase(), 1 * CardPack::SlotSize) << "Start launches the game beside the cursor";
}

}  // namespace
