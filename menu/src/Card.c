// SPDX-License-Identifier: GPL-3.0-or-later
/* The card as the menu sees it: bank selection, the size probe and the
 * walk over the slots. */
#include "Runtime.h"
#include "Menu.h"

_Static_assert(sizeof(GameEntry) == 21, "a game entry is 21 bytes");

GameEntry GameTable[MAX_GAMES];
uint8_t GameCount;
uint16_t TopBank;

static const uint8_t HeaderLogo[48] = {
    0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
    0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
    0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
    0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E,
};

/* The bank window: the selected 16 KiB bank of the card. */
#define WINDOW ((const volatile uint8_t*)0x4000)
#define MIRROR_MARKER 0xAA

static uint16_t FSelectedBank;

void SelectBank(uint16_t Bank)
{
    CARD_BANK_HIGH = (uint8_t)(Bank >> 8);
    CARD_BANK_LOW = (uint8_t)(Bank & 0xFF);
    FSelectedBank = Bank;
}

/* The menu's bank 1 starts with the marker; the first probed bank that
 * shows it is a mirror of bank 1, so the card's address lines end there. */
void ProbeCardSize(void)
{
    static const uint16_t ProbeBanks[4] = { 0x0021, 0x0081, 0x0101, 0x0201 };
    uint8_t Probe, I;
    for (Probe = 0; Probe < 4; ++Probe) {
        SelectBank(ProbeBanks[Probe]);
        for (I = 0; I < 8; ++I)
            if (WINDOW[I] != MIRROR_MARKER)
                break;
        if (I == 8) {
            TopBank = ProbeBanks[Probe] - 2;
            return;
        }
    }
    TopBank = 0x07FF;
}

uint8_t ProbeSlot(void)
{
    GameEntry* Entry = &GameTable[GameCount];
    uint8_t I, RomCode, RamCode;

    for (I = 0; I < 48; ++I)
        if (WINDOW[0x104 + I] != HeaderLogo[I])
            return 0;

    for (I = 0; I < 16; ++I)
        Entry->Title[I] = (char)WINDOW[0x134 + I];
    Entry->Terminator = 0;

    RomCode = WINDOW[0x148];
    RamCode = WINDOW[0x149];
    if (RomCode > 7 || RamCode > 3)
        return 0;

    Entry->Size = (uint8_t)((1u << RomCode) - 1u);
    Entry->SaveClass = RamCode == 3 ? SAVE_CLASS_32K : 0x00;
    Entry->Flags = RamCode != 0 ? FLAG_SAVE_RAM : 0x00;
    Entry->Slot = (uint8_t)(FSelectedBank >> 1);
    ++GameCount;
    return 1;
}

void ScanCard(void)
{
    uint16_t Slot = 1; /* the menu itself fills slot 0 */
    uint8_t I;

    GameCount = 0;
    while (Slot * 2 < TopBank && Slot < SLOT_LIMIT && GameCount < MAX_GAMES) {
        SelectBank(Slot * 2);
        if (ProbeSlot()) {
            const GameEntry* Found = &GameTable[GameCount - 1];
            Slot = (uint16_t)Found->Slot + Found->Size + 1;
        } else {
            ++Slot;
        }
    }

    if (GameCount == 0) {
        ConsoleGotoXY(0, 0);
        ConsolePutString("   no data present");
        for (;;)
            ;
    }

    /* The last row of each page ends in the last column; a 16th character
     * would move the console's cursor past the bottom row and scroll. */
    for (I = GAMES_PER_PAGE - 1; I < GameCount; I += GAMES_PER_PAGE)
        GameTable[I].Title[15] = 0;
}
