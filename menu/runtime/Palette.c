// SPDX-License-Identifier: GPL-3.0-or-later
#include "Runtime.h"

static void LoadColours(volatile uint8_t* Index, volatile uint8_t* Data, const uint16_t* Colours, uint8_t Count)
{
    uint8_t I;
    *Index = 0x80; /* from entry 0, counting up after each write */
    for (I = 0; I < Count; ++I) {
        *Data = (uint8_t)(Colours[I] & 0xFF);
        *Data = (uint8_t)(Colours[I] >> 8);
    }
}

void LoadPalettes(const uint16_t* Background, const uint16_t* Sprites, uint8_t SpritePalettes)
{
    LoadColours(&REG_BCPS, &REG_BCPD, Background, 4);
    LoadColours(&REG_OCPS, &REG_OCPD, Sprites, (uint8_t)(SpritePalettes * 4));
    /* The original console's shades: 0 white ... 3 black. */
    REG_BGP = 0xE4;
    REG_OBP0 = 0xE4;
    REG_OBP1 = 0xE4;
}
