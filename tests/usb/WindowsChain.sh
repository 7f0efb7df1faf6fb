#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows chain test's side on this machine: checks that every piece is
# built, links a fresh copy of the cached wine prefix into the run folder and
# boots the USB test machine with WindowsChainTest.sh in it.
#
#   WindowsChain.sh BUILD_DIR WINDOWS_BUILD_DIR DRIVER_PACKAGE_DIR GAMES_DIR [KNOWN]
#
# KNOWN: checks whose fault is known and mended elsewhere (WindowsChainTest.sh).
# Run from the test's own folder (the run folder "winchain" goes there).
# Exits 77 (skipped) when the Windows build, the driver package or wine is
# missing.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
REPO="$(cd "$HERE/../.." && pwd)"
BUILD="$1" WIN="$2" PACKAGE="$3" GAMES="$4" KNOWN="${5:-}"

for F in "$WIN/cli/flashquill-cli.exe" "$WIN/app/flashquill.exe" "$WIN/tests/usb/StageDriver.exe" \
         "$WIN/tests/usb/LinkWatch.exe" "$WIN/tests/usb/WindowStatus.exe"; do
  [ -f "$F" ] || { echo "skipped: no $F (scripts/checks/10-win64-core.sh and 35-usb-vm-wine-prefix.sh make it)"; exit 77; }
done
for F in Bridgewick.inf Bridgewick.sys Bridgewick.cat; do
  [ -f "$PACKAGE/$F" ] || { echo "skipped: no $PACKAGE/$F (the driver package is built with the native build)"; exit 77; }
done
TEMPLATE="$("$REPO/scripts/usb-vm/wine-prefix")" || exit $?

# A prefix of this run's own: the template's files linked (wine replaces the
# files it changes, the registry by renaming a new one into place), its
# registry copied, so that nothing the run does reaches the template.
RUN="$PWD/winchain"
rm -rf "$RUN"
mkdir -p "$RUN"
cp -al "$TEMPLATE" "$RUN/prefix" 2>/dev/null || { rm -rf "$RUN/prefix"; cp -a "$TEMPLATE" "$RUN/prefix"; }
for REG in "$RUN"/prefix/*.reg; do cp --remove-destination "$TEMPLATE/${REG##*/}" "$REG"; done
trap 'rm -rf "$RUN/prefix"' EXIT

set +e
"$REPO/scripts/usb-vm/run" --limit "${FQ_WINDOWS_CHAIN_LIMIT:-1500}" --share "$BUILD" --share "$WIN" --share "$PACKAGE" --share "$GAMES" -- \
  bash "$HERE/WindowsChainTest.sh" "$BUILD" "$WIN" "$PACKAGE" "$GAMES" "$RUN" "$KNOWN"
