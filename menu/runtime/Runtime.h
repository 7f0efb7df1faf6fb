// SPDX-License-Identifier: GPL-3.0-or-later
/* The small Game Boy runtime under the boot menu and the test games: the
 * hardware registers, a 20 x 18 text console on the background map, the
 * joypad, a millisecond delay and the colour palettes. */
#ifndef FQ_MENU_RUNTIME_H
#define FQ_MENU_RUNTIME_H

#include <stdint.h>

#define REG(Address) (*(volatile uint8_t*)(Address))
#define REG_P1 REG(0xFF00)
#define REG_NR52 REG(0xFF26)
#define REG_LCDC REG(0xFF40)
#define REG_STAT REG(0xFF41)
#define REG_SCY REG(0xFF42)
#define REG_SCX REG(0xFF43)
#define REG_LY REG(0xFF44)
#define REG_BGP REG(0xFF47)
#define REG_OBP0 REG(0xFF48)
#define REG_OBP1 REG(0xFF49)
#define REG_BCPS REG(0xFF68)
#define REG_BCPD REG(0xFF69)
#define REG_OCPS REG(0xFF6A)
#define REG_OCPD REG(0xFF6B)
#define REG_IE REG(0xFFFF)

/* Display on, tiles from 0x8000 (tile number = character code), background
 * map at 0x9800, background shown. */
#define LCDC_TEXT 0x91

/* Joypad bits as ReadJoypad returns them: pressed = 1. */
#define KEY_RIGHT 0x01
#define KEY_LEFT 0x02
#define KEY_UP 0x04
#define KEY_DOWN 0x08
#define KEY_A 0x10
#define KEY_B 0x20
#define KEY_SELECT 0x40
#define KEY_START 0x80

#define CONSOLE_COLUMNS 20
#define CONSOLE_ROWS 18
#define CURSOR_GLYPH 3

/* The byte the boot ROM leaves in A: 0x01 on the original console, 0x11 on
 * the colour one. Kept by the start-up code for the program started last. */
extern uint8_t ConsoleType;

void DisplayOff(void);
void DisplayOn(void);
void FontLoad(void);

void ConsoleClear(void);
void ConsoleGotoXY(uint8_t Column, uint8_t Row);
void ConsolePutChar(char C);
void ConsolePutString(const char* S);
/* Formatted output: "%d" (int), "%s", "%c" and "%%". */
void ConsolePrintf(const char* Format, ...);

uint8_t ReadJoypad(void);
void DelayMs(uint16_t Milliseconds);
/* Loads eight background and eight sprite colours (four per palette,
 * RGB555) into the colour console; the original console ignores them. */
void LoadPalettes(const uint16_t* Background, const uint16_t* Sprites, uint8_t SpritePalettes);

#endif
