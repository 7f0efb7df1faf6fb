#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window's Windows build under wine on an X server of its own: started on
# an emulated card with a trace and the demo pack, it must say hello to the
# cable, write the demo pack to the empty card, list the page, show its
# window, and close when asked.
#
#   WindowSmokeTest.sh WINE64 WINDOWS_EXE NATIVE_CLI SCREENSHOT
# WINEPREFIX, when set, names a prefix made already (shared by the wine
# tests of one run); else one is made here. SCREENSHOT is where the window's
# picture is kept. Exits 77 (skipped) when the Windows build is not there.
set -uo pipefail
WINE64="$1" WINDOWS_EXE="$2" NATIVE_CLI="$3" SCREENSHOT="$4"

if [ ! -f "$WINDOWS_EXE" ]; then
  echo "skipped: no Windows build at $WINDOWS_EXE (scripts/checks/10-win64-core.sh makes it)"
  exit 77
fi
for tool in xvfb-run xwininfo import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/bootstrap installs it)"; exit 77; }
done

SCRATCH="$(mktemp -d)"
trap 'rm -rf "$SCRATCH"' EXIT
export WINEDEBUG=-all
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$SCRATCH/wine"
  "$WINE64" wineboot --init >/dev/null 2>&1 || true
fi

# What runs on the X server: the program, waited for until the trace shows
# the page listed after the demo pack's write, a picture of its window, then
# the close request of a user.
cat >"$SCRATCH/session.sh" <<'SESSION'
set -u
WINE64="$1" WINDOWS_EXE="$2" CARD="$3" TRACE="$4" SHOT="$5" LOG="$6"
"$WINE64" "$WINDOWS_EXE" --emulate="Z:$CARD" --trace="Z:$TRACE" --demo >"$LOG" 2>&1 &
program=$!
listed=0
for _ in $(seq 1 360); do
  # The last write packet, then the reads of the listing that follows it.
  if [ -f "$TRACE" ] && awk '/^OUT 41 57/ { w = NR } /^OUT 9 ff/ && w && NR > w { found = 1 } END { exit !found }' "$TRACE"; then
    listed=1
    break
  fi
  kill -0 "$program" 2>/dev/null || break
  sleep 0.5
done
sleep 2   # the list is drawn
window="$(xwininfo -root -tree | awk '/"Flashquill \(Ver:/ { print $1; exit }')"
if [ -n "$window" ]; then
  import -window "$window" "$SHOT" || echo "no picture of window $window"
else
  echo "no window titled Flashquill (Ver:...)"
fi
echo "listed=$listed window=${window:-none}"
# The user closes the window; the program must end by itself.
"$WINE64" taskkill /im flashquill.exe >/dev/null 2>&1
for _ in $(seq 1 60); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$program" 2>/dev/null; then
  echo "still running after the close request"
  kill "$program"
  exit 3
fi
wait "$program"
echo "exit=$?"
SESSION

mkdir -p "$SCRATCH/card"
started=$(date +%s)
xvfb-run -a -s "-screen 0 1024x768x24" bash "$SCRATCH/session.sh" "$WINE64" "$WINDOWS_EXE" "$SCRATCH/card" \
  "$SCRATCH/trace.txt" "$SCRATCH/window.png" "$SCRATCH/program.log" >"$SCRATCH/session.out" 2>&1
echo "session took $(($(date +%s) - started)) s"
cat "$SCRATCH/session.out"

FAILURES=0
fail() {
  echo "FAILED: $*"
  FAILURES=$((FAILURES + 1))
}
TRACE="$SCRATCH/trace.txt"
[ -s "$TRACE" ] || fail "no trace written; program said: $(cat "$SCRATCH/program.log")"

echo "-- start-up: the chip is identified"
first_out="$(grep -m1 '^OUT' "$TRACE")"
[[ "$first_out" == "OUT 9 44"* ]] || fail "first command is not the chip identification: $first_out"
awk 'NR == 1 && /^OUT 9 44/ { next } NR == 2 && /^IN [1-9]/ { ok = 1 } END { exit !ok }' "$TRACE" ||
  fail "the identification got no answer: $(head -n 2 "$TRACE")"

echo "-- the demo pack written"
writes="$(grep -c '^OUT 41 57' "$TRACE")"
# The boot menu and four games: at least the games' 256 KiB in 32-byte packets.
[ "$writes" -ge 8192 ] || fail "only $writes write packets"
grep -q '^OUT -1\|^IN -1' "$TRACE" && fail "failed transfers in the trace: $(grep -m3 '^OUT -1\|^IN -1' "$TRACE")"

echo "-- the page listed after the write"
grep -q '^listed=1' "$SCRATCH/session.out" || fail "no listing after the write"
if [ -x "$NATIVE_CLI" ]; then
  "$NATIVE_CLI" --emulate="$SCRATCH/card" list >"$SCRATCH/list.out" 2>&1
  grep -q "4 Game(s) Total" "$SCRATCH/list.out" || fail "card after the demo: $(cat "$SCRATCH/list.out")"
fi

echo "-- the window shown and closed"
grep -q 'window=0x' "$SCRATCH/session.out" || fail "no window found"
grep -q '^exit=0' "$SCRATCH/session.out" || fail "the program did not end cleanly on the close request"
if [ -s "$SCRATCH/window.png" ]; then
  mkdir -p "$(dirname "$SCREENSHOT")"
  cp "$SCRATCH/window.png" "$SCREENSHOT"
  echo "window picture: $SCREENSHOT"
else
  fail "no picture of the window"
fi

if [ "$FAILURES" -ne 0 ]; then
  echo "program output: $(cat "$SCRATCH/program.log")"
  echo "$FAILURES check(s) failed"
  exit 1
fi
echo "the window wrote the demo pack and listed it under wine"
