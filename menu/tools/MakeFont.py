#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns the console's character set (Font.txt) into Font.c: 128 glyphs of
8 bytes, one byte a row, the leftmost pixel in bit 7, for FontLoad."""
import sys


def ParseFont(Path):
    Glyphs = {}
    with open(Path, encoding="ascii") as F:
        for Number, Line in enumerate(F, 1):
            Line = Line.rstrip("\n")
            Fields = Line.split(" ")
            Key, Rows = Fields[0], [R for R in Fields[1:] if R]
            IsGlyph = Rows and all(R and not set(R) - set(".#") for R in Rows)
            if not Line or (Line.startswith("#") and not IsGlyph):
                continue  # blank line or comment
            Code = int(Key, 16) if Key.startswith("0x") else ord(Key)
            if len(Key) != 1 and not Key.startswith("0x"):
                sys.exit(f"{Path}:{Number}: bad character '{Key}'")
            if not 1 <= len(Rows) <= 8 or any(len(R) > 7 or set(R) - set(".#") for R in Rows):
                sys.exit(f"{Path}:{Number}: bad rows for '{Key}'")
            if Code in Glyphs or Code > 127:
                sys.exit(f"{Path}:{Number}: '{Key}' twice or out of range")
            Bytes = []
            for R in Rows + ["."] * (8 - len(Rows)):
                Value = 0
                for Column, Pixel in enumerate(R):
                    if Pixel == "#":
                        Value |= 0x40 >> Column
                Bytes.append(Value)
            Glyphs[Code] = Bytes
    for Code in range(0x20, 0x7F):
        if Code not in Glyphs:
            sys.exit(f"{Path}: printable character 0x{Code:02X} has no glyph")
    return Glyphs


def main():
    Source, Target = sys.argv[1], sys.argv[2]
    Glyphs = ParseFont(Source)
    with open(Target, "w", encoding="ascii") as Out:
        Out.write("/* Made from Font.txt by MakeFont.py; do not edit. */\n")
        Out.write("#include <stdint.h>\n\nconst uint8_t FontGlyphs[128 * 8] = {\n")
        for Code in range(128):
            Row = ", ".join(f"0x{B:02X}" for B in Glyphs.get(Code, [0] * 8))
            Out.write(f"    {Row}, /* 0x{Code:02X} */\n")
        Out.write("};\n")


if __name__ == "__main__":
    main()
