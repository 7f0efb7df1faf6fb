// SPDX-License-Identifier: GPL-3.0-or-later
/* The boot menu: finds the games on the card, lists them and starts the
 * chosen one through the card's mapper registers. */
#ifndef FQ_MENU_MENU_H
#define FQ_MENU_MENU_H

#include <stdint.h>

#define MAX_GAMES 99
#define GAMES_PER_PAGE 15
#define FIRST_GAME_ROW 3

/* Slots are 32 KiB; the start routine hands the card an 8-bit bank number
 * (slot x 2), so slot 128 and beyond cannot be started. */
#define SLOT_LIMIT 128

typedef struct {
    char Title[16];     /* header bytes 0x0134-0x0143, as stored */
    uint8_t Terminator; /* 0 */
    uint8_t Flags;      /* bit 7: the game has save RAM */
    uint8_t Size;       /* size in 32 KiB slots minus 1 */
    uint8_t SaveClass;  /* 0x30: 32 KiB of save RAM, else 0x00 */
    uint8_t Slot;       /* first 32 KiB slot of the game on the card */
} GameEntry;

#define FLAG_SAVE_RAM 0x80
#define SAVE_CLASS_32K 0x30

extern GameEntry GameTable[MAX_GAMES];
extern uint8_t GameCount;
extern uint16_t TopBank;
extern uint8_t MenuPage;
extern uint8_t CursorRow;

/* Card registers, as Game Boy addresses. */
#define CARD_RAM_ENABLE REG(0x0000)
#define CARD_UPDATE REG(0x1000)
#define CARD_BANK_LOW REG(0x2000)
#define CARD_BANK_HIGH REG(0x3000)
#define CARD_RAM_BANK REG(0x4000)
#define CARD_CONFIG REG(0x7000)

void SelectBank(uint16_t Bank);
void ProbeCardSize(void);
void ScanCard(void);
uint8_t ProbeSlot(void);
void DrawMenu(void);
void MenuLoop(void);
void LaunchGame(uint8_t Flags, uint8_t Size, uint8_t SaveClass, uint8_t Slot);

/* Start routine: position independent, copied to work RAM and run there. */
extern const uint8_t StartRoutine[];
#define START_ROUTINE_SIZE 160
#define START_ROUTINE_ADDRESS 0xD000
/* LaunchGame leaves its arguments here for the start routine. */
#define LAUNCH_ARGUMENTS 0xC000

#endif
