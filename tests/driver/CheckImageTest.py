#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kernel image checker on a driver image built to break each of its
rules, for x64 and x86: every breach must be named, with the routine for the
spin-lock calls, and the checker must fail. A checker that passes anything
would let the real images through unseen.

usage: CheckImageTest.py CheckImage.py
"""
import os
import struct
import subprocess
import sys
import tempfile

SOURCE = r'''
#include <ddk/wdm.h>

/* A section that is writable and executable. */
__asm__(".section .wx,\"awx\"\n\t.byte 0xc3\n\t.text");

__declspec(dllimport) unsigned long __stdcall GetTickCount(void);

__attribute__((section("PAGE"), noinline)) void __stdcall PagedGate(PKSPIN_LOCK Lock) {
  KIRQL Old;
  KeAcquireSpinLock(Lock, &Old);
  KeReleaseSpinLock(Lock, Old);
}

/* The entry point, left in .text. */
NTSTATUS __stdcall DriverEntry(PDRIVER_OBJECT Driver, PUNICODE_STRING Path) {
  static KSPIN_LOCK Lock;
  (void)Driver; (void)Path;
  PagedGate(&Lock);
  return (NTSTATUS)GetTickCount();
}
'''

TARGETS = [("x64", "x86_64-w64-mingw32", "DriverEntry"), ("x86", "i686-w64-mingw32", "_DriverEntry@8")]


def spoil_checksum(path):
    with open(path, "r+b") as f:
        data = f.read()
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        offset = pe + 4 + 20 + 64
        checksum = struct.unpack_from("<I", data, offset)[0]
        f.seek(offset)
        f.write(struct.pack("<I", checksum ^ 0x5A5A))


def main():
    checker = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "Bad.c")
        with open(source, "w") as f:
            f.write(SOURCE)
        for arch, triplet, entry in TARGETS:
            image = os.path.join(folder, "Bad-%s.sys" % arch)
            subprocess.run([triplet + "-gcc", "-O2", "-shared", "-nostdlib", "-nostartfiles",
                            "-Wl,--subsystem,native", "-Wl,--entry," + entry, "-o", image, source,
                            "-lntoskrnl", "-lhal", "-lkernel32"], check=True)
            spoil_checksum(image)
            run = subprocess.run([sys.executable, checker, "--objdump", triplet + "-objdump", image],
                                 capture_output=True, text=True)
            print(run.stdout, end="")
            expected = ["imports GetTickCount from KERNEL32.dll",
                        "lies in .text, not in INIT",
                        "section .wx is writable and executable",
                        "does not match the file",
                        "pageable PagedGate",
                        "calls KfAcquireSpinLock" if arch == "x86" else "calls KeAcquireSpinLockRaiseToDpc",
                        "calls KfReleaseSpinLock" if arch == "x86" else "calls KeReleaseSpinLock"]
            for text in expected:
                if text.lower() not in run.stdout.lower():
                    failures.append("%s: no breach saying \"%s\"" % (arch, text))
            if run.returncode != 1:
                failures.append("%s: the checker exited %d, not 1" % (arch, run.returncode))
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
