#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks a built Bridgewick.sys for what Windows punishes in a kernel image
but no compiler warns about:

  * no routine that must run at DISPATCH_LEVEL, or that raises the IRQL to
    it (spin locks, IRQL changes), is called from the PAGE section: the code
    after such a call would run at DISPATCH_LEVEL from memory that may be
    paged out;
  * the entry point lies in INIT;
  * imports come only from ntoskrnl.exe, HAL.dll and USBD.SYS;
  * no section is both writable and executable;
  * the header's checksum is set and matches the file.

Headers are read here; the code is read through mingw's objdump. Every
breach is printed with its routine and address; the exit status is 1 when
there is any, 2 when the image cannot be read.

usage: CheckImage.py [--objdump PROGRAM] IMAGE
"""
import argparse
import re
import struct
import subprocess
import sys

# Routines that leave the caller at DISPATCH_LEVEL, expect it there, or move
# the IRQL: a call from pageable code to any of them is a breach.
DISPATCH_ROUTINES = {
    "KeAcquireSpinLock", "KeReleaseSpinLock", "KfAcquireSpinLock", "KfReleaseSpinLock",
    "KeAcquireSpinLockRaiseToDpc", "KeAcquireSpinLockAtDpcLevel", "KeReleaseSpinLockFromDpcLevel",
    "KefAcquireSpinLockAtDpcLevel", "KefReleaseSpinLockFromDpcLevel",
    "KeAcquireInStackQueuedSpinLock", "KeReleaseInStackQueuedSpinLock",
    "KeAcquireInStackQueuedSpinLockAtDpcLevel", "KeReleaseInStackQueuedSpinLockFromDpcLevel",
    "KeAcquireInStackQueuedSpinLockRaiseToSynch", "KeAcquireQueuedSpinLock", "KeReleaseQueuedSpinLock",
    "KeTryToAcquireQueuedSpinLock", "KeTryToAcquireSpinLockAtDpcLevel", "KeAcquireSpinLockRaiseToSynch",
    "KeAcquireInterruptSpinLock", "KeReleaseInterruptSpinLock",
    "IoAcquireCancelSpinLock", "IoReleaseCancelSpinLock",
    "KfRaiseIrql", "KfLowerIrql", "KeRaiseIrql", "KeLowerIrql", "KeRaiseIrqlToDpcLevel",
    "KeRaiseIrqlToSynchLevel",
}
ALLOWED_DLLS = {"ntoskrnl.exe", "hal.dll", "usbd.sys"}

SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ image")
        self.pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        coff = self.pe + 4
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", d, coff)
        self.optional = coff + 20
        magic = struct.unpack_from("<H", d, self.optional)[0]
        self.wide = magic == 0x20B
        self.pointer = 8 if self.wide else 4
        self.entry = struct.unpack_from("<I", d, self.optional + 16)[0]
        self.image_base = (struct.unpack_from("<Q", d, self.optional + 24)[0] if self.wide
                           else struct.unpack_from("<I", d, self.optional + 28)[0])
        self.checksum_offset = self.optional + 64
        self.checksum = struct.unpack_from("<I", d, self.checksum_offset)[0]
        directories = self.optional + (112 if self.wide else 96)
        self.import_rva = struct.unpack_from("<I", d, directories + 8)[0]
        self.sections = []
        table = self.optional + optional_size
        for index in range(sections):
            entry = table + 40 * index
            name = d[entry:entry + 8].rstrip(b"\0").decode("latin-1")
            vsize, rva, raw_size, raw_offset = struct.unpack_from("<IIII", d, entry + 8)
            flags = struct.unpack_from("<I", d, entry + 36)[0]
            self.sections.append((name, rva, max(vsize, raw_size), raw_offset, flags))

    def section_of(self, rva):
        for name, start, size, _, _ in self.sections:
            if start <= rva < start + size:
                return name
        return None

    def offset_of(self, rva):
        for _, start, size, raw, _ in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address 0x%x lies in no section" % rva)

    def string_at(self, rva):
        offset = self.offset_of(rva)
        return self.data[offset:self.data.index(b"\0", offset)].decode("latin-1")

    def imports(self):
        """(dll, routine, address of its import slot) for every import."""
        found = []
        if self.import_rva == 0:
            return found
        descriptor = self.offset_of(self.import_rva)
        while True:
            lookup, _, _, name_rva, first_thunk = struct.unpack_from("<IIIII", self.data, descriptor)
            if name_rva == 0:
                break
            dll = self.string_at(name_rva)
            table = lookup or first_thunk
            index = 0
            while True:
                slot = self.offset_of(table) + index * self.pointer
                value = struct.unpack_from("<Q" if self.wide else "<I", self.data, slot)[0]
                if value == 0:
                    break
                by_ordinal = value >> (63 if self.wide else 31)
                routine = "#%d" % (value & 0xFFFF) if by_ordinal else self.string_at((value & 0x7FFFFFFF) + 2)
                found.append((dll, routine, self.image_base + first_thunk + index * self.pointer))
                index += 1
            descriptor += 20
        return found

    def computed_checksum(self):
        d = bytearray(self.data)
        d[self.checksum_offset:self.checksum_offset + 4] = b"\0\0\0\0"
        if len(d) % 2:
            d.append(0)
        total = sum(struct.unpack("<%dH" % (len(d) // 2), d))
        while total > 0xFFFF:
            total = (total & 0xFFFF) + (total >> 16)
        return total + len(self.data)


LABEL = re.compile(r"^([0-9a-f]+) <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t[0-9a-f ]+\t(.*)$")
ADDRESS = re.compile(r"0x([0-9a-f]+)")


def code_of(objdump, path):
    """{section: [(routine, address, instruction)]} for every code section."""
    text = subprocess.run([objdump, "-d", "-C", path], check=True, capture_output=True, text=True).stdout
    code = {}
    lines = None
    routine = "?"
    for line in text.splitlines():
        if line.startswith("Disassembly of section "):
            lines = code.setdefault(line[len("Disassembly of section "):].rstrip(":"), [])
            routine = "?"
            continue
        label = LABEL.match(line)
        if label:
            routine = label.group(2)
            continue
        instruction = INSTRUCTION.match(line)
        if instruction and lines is not None:
            lines.append((routine, int(instruction.group(1), 16), instruction.group(2)))
    return code


def referenced(instruction):
    """Absolute addresses an instruction names (objdump resolves RIP-relative
    ones in its comment)."""
    values = {int(value, 16) for value in ADDRESS.findall(instruction)}
    comment = re.search(r"#\s*(?:0x)?([0-9a-f]+)", instruction)
    if comment:
        values.add(int(comment.group(1), 16))
    target = re.match(r"(?:call|jmp)\s+([0-9a-f]+) <", instruction)
    if target:
        values.add(int(target.group(1), 16))
    return values


def check(path, objdump):
    image = Image(path)
    breaches = []

    for dll, routine, _ in image.imports():
        if dll.lower() not in ALLOWED_DLLS:
            breaches.append("imports %s from %s, which is not ntoskrnl.exe, HAL.dll or USBD.SYS" % (routine, dll))

    entry_section = image.section_of(image.entry)
    if entry_section != "INIT":
        breaches.append("entry point 0x%x lies in %s, not in INIT" % (image.image_base + image.entry,
                                                                      entry_section or "no section"))

    for name, _, _, _, flags in image.sections:
        if flags & SCN_MEM_WRITE and flags & SCN_MEM_EXECUTE:
            breaches.append("section %s is writable and executable" % name)

    computed = image.computed_checksum()
    if image.checksum == 0:
        breaches.append("checksum is not set (it should be 0x%08x)" % computed)
    elif image.checksum != computed:
        breaches.append("checksum 0x%08x does not match the file (0x%08x)" % (image.checksum, computed))

    # Import slots of the routines pageable code must not call, and the
    # one-jump stubs that reach them through those slots.
    slots = {address: routine for _, routine, address in image.imports()
             if routine.split("@")[0].lstrip("_@") in DISPATCH_ROUTINES}
    code = code_of(objdump, path)
    for lines in code.values():
        for _, address, instruction in lines:
            if instruction.startswith("jmp"):
                for value in referenced(instruction):
                    if value in slots:
                        slots[address] = slots[value]
    if "PAGE" in code:
        for routine, address, instruction in code["PAGE"]:
            for value in referenced(instruction):
                if value in slots:
                    breaches.append("pageable %s calls %s at 0x%x" % (routine, slots[value], address))
    return breaches


def main():
    parser = argparse.ArgumentParser(description="Checks a kernel driver image.")
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("image")
    arguments = parser.parse_args()
    try:
        breaches = check(arguments.image, arguments.objdump)
    except (OSError, ValueError, struct.error, subprocess.CalledProcessError) as error:
        print("%s: cannot be checked: %s" % (arguments.image, error), file=sys.stderr)
        return 2
    for breach in breaches:
        print("%s: %s" % (arguments.image, breach))
    if not breaches:
        print("%s: passes the kernel image checks" % arguments.image)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
