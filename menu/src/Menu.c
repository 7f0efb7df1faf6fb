// SPDX-License-Identifier: GPL-3.0-or-later
/* Start-up, the list on screen, the keys, and the hand-over to a game. */
#include <string.h>
#include "Runtime.h"
#include "Menu.h"

uint8_t MenuPage;
uint8_t CursorRow;

static const uint16_t BackgroundColours[4] = { 0x7FFF, 0x13E4, 0x7C84, 0x0000 };
static const uint16_t SpriteColours[8] = { 0x7FFF, 0x221F, 0x1118, 0x0000,
                                           0x7FFF, 0x221F, 0x1118, 0x0000 };

#define REPEAT_MS 150

static uint8_t PageCount(void)
{
    return (uint8_t)((GameCount + GAMES_PER_PAGE - 1) / GAMES_PER_PAGE);
}

static uint8_t GamesOnPage(void)
{
    uint8_t First = (uint8_t)(MenuPage * GAMES_PER_PAGE);
    uint8_t Left = (uint8_t)(GameCount - First);
    return Left < GAMES_PER_PAGE ? Left : GAMES_PER_PAGE;
}

static uint8_t LastRow(void)
{
    return (uint8_t)(FIRST_GAME_ROW + GamesOnPage() - 1);
}

static const char* CardSizeText(void)
{
    switch (TopBank) {
    case 0x001F: return "4";
    case 0x007F: return "16";
    case 0x00FF: return "32";
    case 0x01FF: return "64";
    default: return "";
    }
}

/* Titles are raw header bytes: a control byte such as 0x0A would move the
 * console's cursor (and scroll the screen from the last row), so the list
 * would no longer line up with the games behind it. Such bytes show as
 * blanks. */
static void PutTitle(const char* Title)
{
    for (; *Title; ++Title) {
        uint8_t C = (uint8_t)*Title;
        ConsolePutChar(C < 0x20 ? ' ' : (char)C);
    }
}

void DrawMenu(void)
{
    uint8_t Position, Count;

    ConsoleClear();
    ConsoleGotoXY(1, 0);
    ConsolePutString("Flashquill");
    ConsolePutString(CardSizeText());
    ConsolePutString("M V");
    ConsolePutString("1.3");
    ConsolePutChar('\n');
    ConsolePutString("Push Up Dn St/A Key");

    if (GameCount > GAMES_PER_PAGE) {
        ConsoleGotoXY(17, 2);
        ConsolePrintf("%d/%d", (int)MenuPage + 1, (int)PageCount());
    }

    Count = GamesOnPage();
    for (Position = 0; Position < Count; ++Position) {
        uint8_t Index = (uint8_t)(MenuPage * GAMES_PER_PAGE + Position);
        const GameEntry* Entry = &GameTable[Index];
        char Marker;
        ConsoleGotoXY(1, (uint8_t)(FIRST_GAME_ROW + Position));
        ConsolePrintf(Index + 1 < 10 ? "0%d" : "%d", (int)Index + 1);
        if (!(Entry->Flags & FLAG_SAVE_RAM))
            Marker = '.';
        else if (Entry->SaveClass == SAVE_CLASS_32K)
            Marker = '~';
        else
            Marker = '-';
        ConsolePutChar(Marker);
        PutTitle(Entry->Title);
    }

    CursorRow = FIRST_GAME_ROW;
    ConsoleGotoXY(0, CursorRow);
    ConsolePutChar(CURSOR_GLYPH);
}

static void MoveCursor(uint8_t Row)
{
    ConsoleGotoXY(0, CursorRow);
    ConsolePutChar(' ');
    CursorRow = Row;
    ConsoleGotoXY(0, CursorRow);
    ConsolePutChar(CURSOR_GLYPH);
}

/* One pass: the first key held, in order of priority, does its action; the
 * pause after an action makes a held key repeat every 150 ms. Without a key
 * the loop polls at once, so a short press is never missed. */
void MenuLoop(void)
{
    uint8_t Keys = ReadJoypad();
    uint8_t Pages = PageCount();

    if (Keys & KEY_UP) {
        MoveCursor(CursorRow == FIRST_GAME_ROW ? LastRow() : (uint8_t)(CursorRow - 1));
    } else if (Keys & KEY_DOWN) {
        MoveCursor(CursorRow >= LastRow() ? FIRST_GAME_ROW : (uint8_t)(CursorRow + 1));
    } else if (Keys & KEY_SELECT) {
        MenuPage = (uint8_t)(MenuPage + 1 < Pages ? MenuPage + 1 : 0);
        DrawMenu();
    } else if (Keys & KEY_LEFT) {
        if (MenuPage > 0) {
            --MenuPage;
            DrawMenu();
        }
    } else if (Keys & KEY_RIGHT) {
        if (MenuPage + 1 < Pages) {
            ++MenuPage;
            DrawMenu();
        }
    } else if (Keys & (KEY_START | KEY_A)) {
        const GameEntry* Entry =
            &GameTable[MenuPage * GAMES_PER_PAGE + CursorRow - FIRST_GAME_ROW];
        ConsoleClear();
        SelectBank(0);
        CARD_RAM_BANK = 0x00;
        LaunchGame(Entry->Flags, Entry->Size, Entry->SaveClass, Entry->Slot);
    } else {
        return;
    }
    DelayMs(REPEAT_MS);
}

/* The menu's ROM leaves the address space while the card is switched over
 * to the game, so the last steps run from a copy in work RAM. */
void LaunchGame(uint8_t Flags, uint8_t Size, uint8_t SaveClass, uint8_t Slot)
{
    volatile uint8_t* Arguments = (volatile uint8_t*)LAUNCH_ARGUMENTS;
    Arguments[0] = Flags;
    Arguments[1] = Size;
    Arguments[2] = SaveClass;
    Arguments[3] = Slot;
    memcpy((void*)START_ROUTINE_ADDRESS, StartRoutine, START_ROUTINE_SIZE);
    ((void (*)(void))START_ROUTINE_ADDRESS)();
}

void main(void)
{
    LoadPalettes(BackgroundColours, SpriteColours, 2);
    DisplayOn();
    REG_NR52 = 0xF1;
    ConsoleClear();
    ConsoleGotoXY(0, 0);
    CARD_RAM_ENABLE = 0x00;

    ProbeCardSize();
    ScanCard();
    DrawMenu();
    for (;;)
        MenuLoop();
}
