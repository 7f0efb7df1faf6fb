#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the wine prefix that the window's wine tests of one run share
# (making one takes long; each test then starts in it at once).
#   WinePrefix.sh WINE64 PREFIX WINDOWS_FILES...
# Exits 77 (skipped) when none of the Windows builds it is made for is there.
set -uo pipefail
WINE64="$1" PREFIX="$2"
shift 2
found=0
for file in "$@"; do [ -f "$file" ] && found=1; done
if [ "$found" = 0 ]; then
  echo "skipped: no Windows build to run ($*)"
  exit 77
fi
export WINEPREFIX="$PREFIX" WINEDEBUG=-all
started=$(date +%s)
"$WINE64" wineboot --init >/dev/null 2>&1
"$WINE64" wineserver -w >/dev/null 2>&1 || "${WINE64%64}server" -w >/dev/null 2>&1 || true
[ -d "$PREFIX/drive_c/windows" ] || { echo "no wine prefix made in $PREFIX"; exit 1; }
echo "wine prefix ready in $(($(date +%s) - started)) s: $PREFIX"
