#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Finishes a Game Boy image after makebin: checks the linked program's
placement, writes the cartridge header fields and both checksums, and
optionally marks each 16 KiB bank (at 0x80 of it) so a running program can tell which bank
it sees.

    FinishImage.py IHX IMAGE OUT --title VA16Z [--type 0] [--rom-code 0]
        [--ram-code 0] [--version 1] [--size 32768] [--bank0-limit 0x4000]
        [--allow 0x4000:0x4020] [--bank-markers]
"""
import argparse
import sys

HEADER_TITLE = 0x134
HEADER_END = 0x150
MARKER_OFFSET = 0x80


def IhxAddresses(Path):
    """Every address the program writes, and those written twice."""
    Seen, Twice = set(), set()
    Base = 0
    with open(Path, encoding="ascii") as F:
        for Line in F:
            Line = Line.strip()
            if not Line.startswith(":"):
                continue
            Raw = bytes.fromhex(Line[1:])
            Count, Address, Kind = Raw[0], (Raw[1] << 8) | Raw[2], Raw[3]
            if Kind == 0x04:
                Base = ((Raw[4] << 8) | Raw[5]) << 16
            if Kind != 0x00:
                continue
            for I in range(Count):
                A = Base + Address + I
                (Twice if A in Seen else Seen).add(A)
    return Seen, Twice


def Fail(Text):
    sys.exit("FinishImage: " + Text)


def ParseRange(Text):
    Start, End = Text.split(":")
    return int(Start, 0), int(End, 0)


def main():
    P = argparse.ArgumentParser()
    P.add_argument("ihx")
    P.add_argument("image")
    P.add_argument("out")
    P.add_argument("--title", required=True)
    P.add_argument("--type", type=lambda V: int(V, 0), default=0)
    P.add_argument("--rom-code", type=lambda V: int(V, 0), default=0)
    P.add_argument("--ram-code", type=lambda V: int(V, 0), default=0)
    P.add_argument("--version", type=lambda V: int(V, 0), default=1)
    P.add_argument("--size", type=lambda V: int(V, 0), default=32768)
    P.add_argument("--bank0-limit", type=lambda V: int(V, 0), default=0x4000)
    P.add_argument("--allow", type=ParseRange, action="append", default=[])
    P.add_argument("--bank-markers", action="store_true")
    A = P.parse_args()

    Seen, Twice = IhxAddresses(A.ihx)
    if Twice:
        Fail("program pieces overlap at 0x%04X" % min(Twice))
    for Address in sorted(Seen):
        if HEADER_TITLE <= Address < HEADER_END:
            Fail("program bytes inside the header at 0x%04X" % Address)
        if Address >= A.bank0_limit and not any(S <= Address < E for S, E in A.allow):
            Fail("program does not fit in bank 0: byte at 0x%04X" % Address)

    Image = bytearray(open(A.image, "rb").read())
    if len(Image) > A.size:
        Fail("image of %d bytes is larger than %d" % (len(Image), A.size))
    Image += b"\xFF" * (A.size - len(Image))

    Title = A.title.encode("ascii")
    if len(Title) > 16:
        Fail("title longer than 16 bytes")
    Image[0x134:0x144] = Title + bytes(16 - len(Title))
    Image[0x144:0x146] = b"\x00\x00"      # new licensee
    Image[0x146] = 0x00                    # no super console functions
    Image[0x147] = A.type
    Image[0x148] = A.rom_code
    Image[0x149] = A.ram_code
    Image[0x14A] = 0x00                    # destination
    Image[0x14B] = 0x00                    # old licensee
    Image[0x14C] = A.version

    if A.bank_markers:
        # "BK" and the bank number at 0x80 of every bank (bank 0 included:
        # its vectors end before that), so a program can tell which of its
        # banks a window shows.
        for Bank in range(A.size // 0x4000):
            Offset = Bank * 0x4000 + MARKER_OFFSET
            if any(Offset + I in Seen for I in range(4)):
                Fail("bank %d is not free for its marker" % Bank)
            Image[Offset:Offset + 4] = b"BK" + bytes([Bank & 0xFF, Bank >> 8])

    # The boot ROM refuses a cartridge whose header sum is wrong.
    Sum = 0
    for Byte in Image[0x134:0x14D]:
        Sum = (Sum - Byte - 1) & 0xFF
    Image[0x14D] = Sum
    # The whole-image sum, over every byte but its own two.
    Image[0x14E:0x150] = b"\x00\x00"
    Total = sum(Image) & 0xFFFF
    Image[0x14E:0x150] = bytes([Total >> 8, Total & 0xFF])

    with open(A.out, "wb") as F:
        F.write(Image)


if __name__ == "__main__":
    main()
