#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line's Windows build, run under wine on an emulated card, must
# leave the card and the files exactly as this machine's build does: the same
# pack image, the same flash and save RAM after a write, the same games read
# back. Its card files are made and mapped by the Windows code, its cable is
# looked for through the device-setup functions.
#
#   WindowsCliTest.sh WINE64 WINDOWS_CLI NATIVE_CLI GAMES_DIR
# Exits 77 (skipped) when the Windows build is not there.
set -uo pipefail
WINE64="$1" WINDOWS_CLI="$2" NATIVE_CLI="$3" GAMES="$4"

if [ ! -f "$WINDOWS_CLI" ]; then
  echo "skipped: no Windows build at $WINDOWS_CLI (scripts/checks/10-win64-core.sh makes it)"
  exit 77
fi

SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
export WINEPREFIX="$SCRATCH/wine" WINEDEBUG=-all
# The first start sets up the prefix; its own chatter is not the test's.
"$WINE64" wineboot --init >/dev/null 2>&1 || true

FAILURES=0
fail() {
  echo "FAILED: $*"
  FAILURES=$((FAILURES + 1))
}

# Runs the Windows build with Unix paths given as Z: paths; its output with
# the line ends of this machine.
win() {
  local args=()
  for arg in "$@"; do
    case "$arg" in
      /*) args+=("Z:$arg") ;;
      --emulate=/*) args+=("--emulate=Z:${arg#--emulate=}") ;;
      *) args+=("$arg") ;;
    esac
  done
  "$WINE64" "$WINDOWS_CLI" "${args[@]}" 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
# Its data folder (the save vault every write fills) is the scratch folder's,
# as the Windows build's C:\ is the scratch prefix's.
native() { XDG_DATA_HOME="$SCRATCH/native-data" "$NATIVE_CLI" "$@" 2>&1; }

# Runs "win ARGS" and "native ARGS" with {} replaced by a folder of each
# side's own; both must end with the same exit code.
both() {
  local w=() n=()
  for arg in "$@"; do
    w+=("${arg//\{\}/$SCRATCH/win}")
    n+=("${arg//\{\}/$SCRATCH/native}")
  done
  win "${w[@]}" >"$SCRATCH/win.out"
  local wrc=$?
  native "${n[@]}" >"$SCRATCH/native.out"
  local nrc=$?
  [ "$wrc" = "$nrc" ] || fail "$1: exit $wrc on Windows, $nrc here"
}
mkdir -p "$SCRATCH/win" "$SCRATCH/native"

FOUR=("$GAMES/demo32.gb" "$GAMES/demo64.gb" "$GAMES/demo128.gb" "$GAMES/demo32save.gb")

echo "-- pack image built offline"
both pack "${FOUR[@]}" -o "{}/pack.gb"
cmp "$SCRATCH/win/pack.gb" "$SCRATCH/native/pack.gb" || fail "pack images differ"

echo "-- four games written to an emulated card"
both --emulate="{}/card" write "${FOUR[@]}" --yes
cmp "$SCRATCH/win/card/flash.bin" "$SCRATCH/native/card/flash.bin" || fail "flash after the write differs"
both --emulate="{}/card" list
diff "$SCRATCH/win.out" "$SCRATCH/native.out" || fail "list differs"
grep -q "4 Game(s) Total, Size: 2M, Free: 30M" "$SCRATCH/win.out" || fail "list summary: $(cat "$SCRATCH/win.out")"

echo "-- every game read back"
both --emulate="{}/card" read --all -o "{}/read"
diff -r "$SCRATCH/win/read" "$SCRATCH/native/read" || fail "games read back differ"
for game in "${FOUR[@]}"; do
  found=0
  for read in "$SCRATCH/win/read"/*; do cmp -s "$game" "$read" && found=1; done
  [ "$found" = 1 ] || fail "$(basename "$game") not read back byte for byte"
done

echo "-- save RAM written and read back"
head -c 131072 /dev/urandom >"$SCRATCH/save.sav"
both --emulate="{}/card" write-sram "$SCRATCH/save.sav" --yes
both --emulate="{}/card" read-sram "{}/back.sav"
cmp "$SCRATCH/save.sav" "$SCRATCH/win/back.sav" || fail "save RAM read back differs"
cmp "$SCRATCH/win/card/sram.bin" "$SCRATCH/native/card/sram.bin" || fail "save RAM card files differ"

echo "-- the factory flash test reads back into C:\\GBTestROM.gb"
head -c 65536 /dev/urandom >"$SCRATCH/test.gb"
win --emulate="$SCRATCH/win/card" --yes test-rom "$SCRATCH/test.gb" >"$SCRATCH/win.out"
rc=$?
[ "$rc" = 0 ] || fail "test-rom: exit $rc: $(cat "$SCRATCH/win.out")"
grep -qx "OK" "$SCRATCH/win.out" || fail "test-rom: $(cat "$SCRATCH/win.out")"
cmp "$SCRATCH/test.gb" "$WINEPREFIX/drive_c/GBTestROM.gb" || fail "test-rom read-back file"

echo "-- a card file of the wrong size is refused and kept"
mkdir -p "$SCRATCH/short"
printf 'short' >"$SCRATCH/short/flash.bin"
win --emulate="$SCRATCH/short" info >"$SCRATCH/win.out"
rc=$?
[ "$rc" = 1 ] || fail "short card file: exit $rc"
grep -q "has 5 bytes instead of 8388608" "$SCRATCH/win.out" || fail "short card file: $(cat "$SCRATCH/win.out")"
[ "$(stat -c %s "$SCRATCH/short/flash.bin")" = 5 ] || fail "short card file was changed"

echo "-- no cable: the driver's interface is looked for and not found"
win info >"$SCRATCH/win.out"
rc=$?
[ "$rc" = 1 ] || fail "no cable: exit $rc"
grep -q "Device Disconnected" "$SCRATCH/win.out" || fail "no cable: $(cat "$SCRATCH/win.out")"
grep -q "Bridgewick device interface" "$SCRATCH/win.out" || fail "no cable: not the driver's interface"

if [ "$FAILURES" -ne 0 ]; then
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "the Windows build left the same card and files"
