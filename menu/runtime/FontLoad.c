// SPDX-License-Identifier: GPL-3.0-or-later
#include "Runtime.h"

extern const uint8_t FontGlyphs[128 * 8];

/* Tiles 0-127 at 0x8000 get the glyphs, tile number = character code. Each
 * lit pixel takes shade 3 (both bit planes set), the dark ones shade 0.
 * Called while the display is off, so video RAM is free to write. */
void FontLoad(void)
{
    volatile uint8_t* Tile = (volatile uint8_t*)0x8000;
    const uint8_t* Glyph = FontGlyphs;
    uint16_t I;
    for (I = 0; I < 128 * 8; ++I) {
        uint8_t Row = *Glyph++;
        *Tile++ = Row;
        *Tile++ = Row;
    }
}
