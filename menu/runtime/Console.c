// SPDX-License-Identifier: GPL-3.0-or-later
/* The 20 x 18 text console: one character per background tile, the tile
 * number being the character code. */
#include <stdarg.h>
#include "Runtime.h"

#define MAP_BASE 0x9800
#define MAP_WIDTH 32

static uint8_t FColumn;
static uint8_t FRow;

/* Video RAM can be touched only outside mode 3; waiting for mode 0 or 1
 * leaves at least the 20 cycles of mode 2 for the access. */
static void WaitVramAccess(void)
{
    while (REG_STAT & 0x02)
        ;
}

static void VramPut(uint16_t Address, uint8_t Value)
{
    WaitVramAccess();
    *(volatile uint8_t*)Address = Value;
}

static uint8_t VramGet(uint16_t Address)
{
    WaitVramAccess();
    return *(volatile uint8_t*)Address;
}

static uint16_t MapAddress(uint8_t Column, uint8_t Row)
{
    return MAP_BASE + (uint16_t)Row * MAP_WIDTH + Column;
}

void DisplayOn(void)
{
    REG_SCX = 0;
    REG_SCY = 0;
    REG_LCDC = LCDC_TEXT;
}

void ConsoleClear(void)
{
    uint16_t Address;
    for (Address = MAP_BASE; Address < MAP_BASE + MAP_WIDTH * CONSOLE_ROWS; ++Address)
        VramPut(Address, ' ');
    FColumn = 0;
    FRow = 0;
}

void ConsoleGotoXY(uint8_t Column, uint8_t Row)
{
    FColumn = Column < CONSOLE_COLUMNS ? Column : CONSOLE_COLUMNS - 1;
    FRow = Row < CONSOLE_ROWS ? Row : CONSOLE_ROWS - 1;
}

/* Past the last row the text moves up one row and the last row is blank. */
static void Scroll(void)
{
    uint8_t Row, Column;
    for (Row = 1; Row < CONSOLE_ROWS; ++Row)
        for (Column = 0; Column < CONSOLE_COLUMNS; ++Column)
            VramPut(MapAddress(Column, Row - 1), VramGet(MapAddress(Column, Row)));
    for (Column = 0; Column < CONSOLE_COLUMNS; ++Column)
        VramPut(MapAddress(Column, CONSOLE_ROWS - 1), ' ');
}

static void NewLine(void)
{
    FColumn = 0;
    if (FRow + 1 < CONSOLE_ROWS)
        ++FRow;
    else
        Scroll();
}

/* The cursor moves to the next row as soon as the last column is written. */
void ConsolePutChar(char C)
{
    if (C == '\n') {
        NewLine();
        return;
    }
    VramPut(MapAddress(FColumn, FRow), (uint8_t)C);
    if (++FColumn >= CONSOLE_COLUMNS)
        NewLine();
}

void ConsolePutString(const char* S)
{
    while (*S)
        ConsolePutChar(*S++);
}

static void PutDecimal(int Value)
{
    char Digits[6];
    uint8_t Count = 0;
    unsigned int Magnitude;
    if (Value < 0) {
        ConsolePutChar('-');
        Magnitude = (unsigned int)(-(Value + 1)) + 1u;
    } else {
        Magnitude = (unsigned int)Value;
    }
    do {
        Digits[Count++] = (char)('0' + Magnitude % 10u);
        Magnitude /= 10u;
    } while (Magnitude);
    while (Count)
        ConsolePutChar(Digits[--Count]);
}

void ConsolePrintf(const char* Format, ...)
{
    va_list Args;
    va_start(Args, Format);
    for (; *Format; ++Format) {
        if (*Format != '%') {
            ConsolePutChar(*Format);
            continue;
        }
        switch (*++Format) {
        case 'd':
            PutDecimal(va_arg(Args, int));
            break;
        case 's':
            ConsolePutString(va_arg(Args, const char*));
            break;
        case 'c':
            ConsolePutChar((char)va_arg(Args, int));
            break;
        case '%':
            ConsolePutChar('%');
            break;
        case 0:
            --Format; /* a lone '%' at the end: stop at the terminator */
            break;
        default:
            ConsolePutChar('%');
            ConsolePutChar(*Format);
            break;
        }
    }
    va_end(Args);
}
