// SPDX-License-Identifier: GPL-3.0-or-later
#include "Runtime.h"

/* Reads the direction pad and the buttons; each group is selected in turn
 * and read several times, since the lines take a few cycles to settle. */
uint8_t ReadJoypad(void)
{
    uint8_t Pad, Buttons;
    REG_P1 = 0x20;
    Pad = REG_P1;
    Pad = REG_P1;
    Pad = REG_P1;
    REG_P1 = 0x10;
    Buttons = REG_P1;
    Buttons = REG_P1;
    Buttons = REG_P1;
    Buttons = REG_P1;
    REG_P1 = 0x30;
    return (uint8_t)((~Pad & 0x0F) | ((~Buttons & 0x0F) << 4));
}
