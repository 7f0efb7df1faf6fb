#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the USB test machine (scripts/usb-vm/run): flashquill-cli and the
# window over a real kernel's USB stack, against flashquill-cable serving the
# machine's card through FunctionFS on dummy_hcd.
#
#   UsbStackTest.sh BUILD_DIR GAMES_DIR
#
# - every command prints the same and leaves the same card and files over
#   --usb as over --emulate on a copy of the same card;
# - a pack of three games is written over USB and read back byte-exact;
# - the URBs usbmon records for a list are the transfers of its trace;
# - pulling the cable during a read and a write ends the command with
#   "Error Code: N" and exit 1, and after plugging it back info works;
# - a reply the cable sends in several transfers is read whole;
# - the window (under Xvfb) sees the pull and the plug through its device
#   change notices and lists the page again;
# - a 1 MiB write one packet at a time and with the default in flight, both
#   read back byte-exact (InFlightUsbTest.sh).
# Prints the round trip per exchange, the 4 MiB read figures and the wall
# times of both 1 MiB writes with their ratio. Every program runs under
# timeout.
set -u
BUILD="$(cd "$1" && pwd)" GAMES="$(cd "$2" && pwd)"
CLI="$BUILD/cli/flashquill-cli"
APP="$BUILD/app/flashquill"
read -r VID PID < "${FQ_USB_VM_STATE:-/run/usb-vm}/ids"
USB="--usb=$VID:$PID"
CARD="$FQ_USB_VM_CARD"
W="$(mktemp -d)"
mkdir -p "$W/usb" "$W/emu" "$W/emucard"
cp "$CARD/flash.bin" "$CARD/sram.bin" "$W/emucard/"
EMU="--emulate=$W/emucard"

FAILURES=0
fail() { echo "FAILED: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
now() { echo "${EPOCHREALTIME/./}"; }   # microseconds

# The texts that name the transport, a side's own folder, a duration or the
# time a backup was made differ by nature.
normalize() {
  sed -e 's/^Link: .*/Link: <transport>/' -e 's/Time used: [0-9:.]*/Time used: <t>/g' \
      -e 's/(no cable found)//' -e "s#$W/usb#<dir>#g; s#$W/emu#<dir>#g" \
      -e 's/[0-9]\{8\}-[0-9]\{6\}\(-[0-9]*\)\{0,1\}/<time>/g' "$1"
}
# Every file below a side's folder: its name (times as above) and its bytes.
# A backup's name may also carry "-N" when an earlier one took the same
# second (the emulated side is quick enough for that), and the save vault's
# index holds each backup's time: both are masked, the rest compared.
files_of() {
  (cd "$1" && {
    find . -type f ! -name backups.index -exec sha256sum {} +
    find . -type f -name backups.index | while read -r INDEX; do
      printf '%s  %s\n' "$(awk -F '\t' 'BEGIN { OFS = "\t" } NR > 1 { $2 = "<t>" } { print }' "$INDEX" |
        sed 's/[0-9]\{8\}-[0-9]\{6\}\(-[0-9]*\)\{0,1\}/<time>/g' | sha256sum | cut -d ' ' -f 1)" "$INDEX"
    done
  } | sed 's/[0-9]\{8\}-[0-9]\{6\}\(-[0-9]*\)\{0,1\}/<time>/g' | sort)
}

# Runs one command over USB (on the cable's card) and over --emulate (on its
# copy), each in a folder of its own; both must agree in everything.
both() {
  local NAME="$1"; shift
  local START="$(now)"
  (cd "$W/usb" && XDG_DATA_HOME="$W/usb/data" timeout 400 "$CLI" "$USB" --yes "$@" > ../usb.out 2> ../usb.err); local U=$?
  local TOOK=$(( ($(now) - START) / 1000 ))
  (cd "$W/emu" && XDG_DATA_HOME="$W/emu/data" timeout 400 "$CLI" "$EMU" --yes "$@" > ../emu.out 2> ../emu.err); local E=$?
  local WHY=""
  [ "$U" = "$E" ] || WHY+=" exit $U over USB, $E emulated;"
  cmp -s <(normalize "$W/usb.out") <(normalize "$W/emu.out") || WHY+=" standard output differs;"
  cmp -s <(normalize "$W/usb.err") <(normalize "$W/emu.err") || WHY+=" standard error differs;"
  cmp -s "$CARD/flash.bin" "$W/emucard/flash.bin" || WHY+=" flash differs;"
  cmp -s "$CARD/sram.bin" "$W/emucard/sram.bin" || WHY+=" save RAM differs;"
  [ "$(files_of "$W/usb")" = "$(files_of "$W/emu")" ] || WHY+=" files differ;"
  if [ -z "$WHY" ]; then
    pass "$NAME: same over USB and emulated (exit $U; $TOOK ms over USB)"
  else
    fail "$NAME:$WHY"
    diff <(normalize "$W/usb.out") <(normalize "$W/emu.out") | head -n 10
    diff <(normalize "$W/usb.err") <(normalize "$W/emu.err") | head -n 10
  fi
}

# Small files for the commands that write save RAM or flash packet by packet:
# every 41-byte packet is a USB transfer of its own.
head -c 4096 /dev/urandom > "$W/usb/save.sav"
head -c 2048 /dev/urandom > "$W/usb/test.sav"
head -c 4096 "$GAMES/demo32.gb" > "$W/usb/head.gb"
cp "$W/usb/save.sav" "$W/usb/test.sav" "$W/usb/head.gb" "$W/emu/"
PACK=("$GAMES/demo32.gb" "$GAMES/demo64.gb" "$GAMES/demo32save.gb")

echo "== every command over USB and emulated"
both "info" info
both "list (empty card)" list
both "write, a pack of three" write "${PACK[@]}" --verify
both "list" list
both "list --json" list --json
both "read --all" read --all -o games/
both "read 2" read 2 -o two.gb
both "read-raw" read-raw 65536 raw.bin
both "read-sram" read-sram before.sav
both "write-sram" write-sram save.sav --verify
both "ports" ports
both "ports --set" ports --set 0123456789abcdef
both "pack" pack "${PACK[@]}" -o pack.bin
both "list --page=2" --page=2 list
both "test-sram" test-sram test.sav
both "test-rom" test-rom head.gb
both "write-raw" write-raw head.gb --verify
both "format" format
both "list after format" list

echo "== the pack read back byte-exact over USB"
SOURCE="$(for F in "${PACK[@]}"; do sha256sum < "$F"; done | sort)"
BACK="$(for F in "$W"/usb/games/*; do sha256sum < "$F"; done | sort)"
if [ "$SOURCE" = "$BACK" ] && [ "$(ls "$W/usb/games" | wc -l)" = 3 ]; then
  pass "the three games read back over USB are the files written"
else
  fail "the games read back over USB are not the files written"
fi

echo "== usbmon: one URB per transfer"
read -r BUS < "$(grep -l "^$PID\$" /sys/bus/usb/devices/*/idProduct | head -n 1 | xargs dirname)/busnum"
DEVDIR="$(dirname "$(grep -l "^$PID\$" /sys/bus/usb/devices/*/idProduct | head -n 1)")"
read -r DEV < "$DEVDIR/devnum"
ADDR="$(printf '%d:%03d' "$BUS" "$DEV")"
timeout 60 cat "/sys/kernel/debug/usb/usbmon/${BUS}u" > "$W/mon" &
MON=$!
sleep 0.5
START="$(now)"
timeout 60 "$CLI" "$USB" --trace="$W/list.trace" list > /dev/null 2>&1
LIST_US=$(( $(now) - START ))
sleep 0.5
kill "$MON" 2>/dev/null; wait "$MON" 2>/dev/null
TRACE_OUT=$(grep -c '^OUT' "$W/list.trace"); TRACE_IN=$(grep -c '^IN' "$W/list.trace")
URB_OUT=$(grep -c " S Bo:$ADDR:" "$W/mon"); URB_IN=$(grep -c " S Bi:$ADDR:" "$W/mon")
DONE_OUT=$(grep -c " C Bo:$ADDR:" "$W/mon"); DONE_IN=$(grep -c " C Bi:$ADDR:" "$W/mon")
echo "list: $TRACE_OUT OUT and $TRACE_IN IN transfers in its trace; usbmon: $URB_OUT bulk OUT and $URB_IN bulk IN URBs submitted, $DONE_OUT and $DONE_IN completed"
if [ "$TRACE_OUT" -gt 0 ] && [ "$URB_OUT" = "$TRACE_OUT" ] && [ "$URB_IN" = "$TRACE_IN" ] &&
   [ "$DONE_OUT" = "$TRACE_OUT" ] && [ "$DONE_IN" = "$TRACE_IN" ]; then
  pass "every exchange of list is one bulk OUT and one bulk IN URB"
else
  fail "the URBs of list do not match its transfers"
fi
# The round trip on the wire: a command's OUT URB submitted to its reply's
# IN URB completed, from usbmon's own time stamps (microseconds).
awk -v A="$ADDR" '
  $3 == "S" && index($4, "Bo:" A ":") == 1 { T = $2 }
  $3 == "C" && index($4, "Bi:" A ":") == 1 && T { S += $2 - T; N++; T = 0 }
  END { if (N) printf "figure: round trip per exchange on the wire (usbmon): %.0f us over %d exchanges\n", S / N, N }' "$W/mon"
START="$(now)"
timeout 60 "$CLI" "$EMU" list > /dev/null 2>&1
EMU_LIST_US=$(( $(now) - START ))
echo "figure: list, whole program: $((LIST_US / 1000)) ms over USB, $((EMU_LIST_US / 1000)) ms emulated ($((TRACE_OUT)) exchanges)"

echo "== 4 MiB read"
START="$(now)"
timeout 300 "$CLI" "$USB" read-raw 4194304 "$W/usb4m.bin" > /dev/null 2>&1; U=$?
USB_US=$(( $(now) - START ))
START="$(now)"
timeout 120 "$CLI" "$EMU" read-raw 4194304 "$W/emu4m.bin" > /dev/null 2>&1; E=$?
EMU_US=$(( $(now) - START ))
if [ "$U" = 0 ] && [ "$E" = 0 ] && cmp -s "$W/usb4m.bin" "$W/emu4m.bin"; then
  pass "4 MiB read over USB is the same as emulated"
else
  fail "4 MiB read: exit $U over USB, $E emulated, or the bytes differ"
fi
awk -v U="$USB_US" -v E="$EMU_US" 'BEGIN {
  printf "figure: 4 MiB read: %.2f s, %.2f MiB/s over USB; %.2f s, %.2f MiB/s emulated (same machine)\n",
         U / 1e6, 4 / (U / 1e6), E / 1e6, 4 / (E / 1e6) }'

# Starts a command over USB with a trace, pulls the cable once the trace shows
# the transfer under way, and checks how the command ends.
pull_during() {
  local NAME="$1"; shift
  rm -f "$W/pull.trace"
  timeout 60 "$CLI" "$USB" --yes --trace="$W/pull.trace" "$@" > "$W/pull.out" 2> "$W/pull.err" &
  local JOB=$!
  local END=$((SECONDS + 30))
  while [ "$(cat "$W/pull.trace" 2>/dev/null | wc -l)" -lt 40 ] && [ "$SECONDS" -lt "$END" ] && kill -0 "$JOB" 2>/dev/null; do
    sleep 0.05
  done
  local PULLED="$(now)"
  timeout 20 usb-vm-unplug || fail "$NAME: usb-vm-unplug"
  wait "$JOB"; local RC=$?
  local TOOK=$(( ($(now) - PULLED) / 1000 ))
  if [ "$RC" = 1 ] && grep -q "Error Code: [0-9]" "$W/pull.err"; then
    pass "$NAME: ended $TOOK ms after the pull with exit 1 and \"$(grep -o 'Error Code: [0-9]*' "$W/pull.err" | head -n 1)\""
  else
    fail "$NAME: exit $RC after the pull ($TOOK ms); standard error: $(tail -n 2 "$W/pull.err")"
  fi
  timeout 20 usb-vm-plug || fail "$NAME: usb-vm-plug"
  if timeout 30 "$CLI" "$USB" info > "$W/info.out" 2>&1 && grep -q "Device Connected" "$W/info.out"; then
    pass "$NAME: after the plug, info works against the same cable"
  else
    fail "$NAME: info after the plug: $(cat "$W/info.out")"
  fi
}

echo "== pulling the cable"
pull_during "pull during a read" read-raw 4194304 "$W/pulled.bin"
head -c 1048576 /dev/urandom > "$W/big.bin"
pull_during "pull during a write" write-raw "$W/big.bin"

echo "== a cable this user may not open"
# A user without the udev rule: the device node is root's.
setpriv --reuid=65534 --regid=65534 --clear-groups timeout 30 "$CLI" "$USB" info > "$W/perm.out" 2>&1; RC=$?
if [ "$RC" = 1 ] && grep -q "60-bridgewick-cable.rules" "$W/perm.out"; then
  pass "no permission: $(grep -o 'Device Disconnected.*' "$W/perm.out" | head -n 1)"
else
  fail "no permission: exit $RC: $(cat "$W/perm.out")"
fi

echo "== one reply in several transfers"
# The cable restarted to send every reply in pieces of 100 bytes: each piece
# ends its IN transfer with a short packet, yet the reply is read whole.
timeout 20 usb-vm-unplug && timeout 30 usb-vm-cable --split-replies=100 && timeout 20 usb-vm-plug ||
  fail "restarting the cable with --split-replies"
timeout 60 "$CLI" "$USB" list > "$W/split.out" 2> "$W/split.err"; U=$?
# The cable's own card, read in software, is what the reply must hold.
timeout 60 "$CLI" --emulate="$CARD" list > "$W/whole.out" 2> /dev/null
timeout 60 "$CLI" "$USB" read-raw 65536 "$W/split.bin" > /dev/null 2>> "$W/split.err"; R=$?
timeout 60 "$CLI" --emulate="$CARD" read-raw 65536 "$W/whole.bin" > /dev/null 2>&1
if [ "$U" = 0 ] && [ "$R" = 0 ] && cmp -s "$W/split.out" "$W/whole.out" && cmp -s "$W/split.bin" "$W/whole.bin"; then
  pass "replies cut into 100-byte transfers: list and a 64 KiB read come out whole"
else
  fail "replies cut into 100-byte transfers: list exit $U, read exit $R: $(tail -n 2 "$W/split.err")"
fi
timeout 20 usb-vm-unplug && timeout 30 usb-vm-cable && timeout 20 usb-vm-plug || fail "restarting the cable"

echo "== the window"
if [ -x "$APP" ] && command -v Xvfb > /dev/null; then
  Xvfb :71 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
  XVFB=$!
  export DISPLAY=:71
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X71 ] && break; sleep 0.1; done
  LOG="$W/status.log"
  FLASHQUILL_STATUS_LOG="$LOG" timeout 90 "$APP" "$USB" --trace="$W/window.trace" > "$W/window.out" 2>&1 &
  APPJOB=$!
  # waits until the status log shows TEXT (panel 0) after line FROM
  status_after() {
    local FROM="$1" TEXT="$2" END=$((SECONDS + 60))
    while [ "$SECONDS" -lt "$END" ]; do
      tail -n +"$FROM" "$LOG" 2>/dev/null | grep -qx "0: $TEXT" && return 0
      sleep 0.1
    done
    return 1
  }
  lines() { cat "$LOG" 2>/dev/null | wc -l; }
  listed_since() { tail -n +"$1" "$W/window.trace" | grep -q '^OUT 9 ff'; }
  if status_after 1 "Device Connected" && listed_since 1; then
    pass "window: starts connected and lists the page"
  else
    fail "window: not connected at the start"
  fi
  # The window holds the cable: another program finds it in use.
  timeout 30 "$CLI" "$USB" info > "$W/busy.out" 2>&1; RC=$?
  if [ "$RC" = 1 ] && grep -q "in use by another program" "$W/busy.out"; then
    pass "a cable in use by the window: $(grep -o 'Device Disconnected.*' "$W/busy.out" | head -n 1)"
  else
    fail "a cable in use by the window: exit $RC: $(cat "$W/busy.out")"
  fi
  sleep 1
  MARK=$(( $(lines) + 1 )); TMARK=$(( $(wc -l < "$W/window.trace") + 1 ))
  timeout 20 usb-vm-unplug
  if status_after "$MARK" "Device Disconnected"; then
    pass "window: the pull shows \"Device Disconnected\""
  else
    fail "window: no \"Device Disconnected\" after the pull"
  fi
  MARK=$(( $(lines) + 1 )); TMARK=$(( $(wc -l < "$W/window.trace") + 1 ))
  timeout 20 usb-vm-plug
  if status_after "$MARK" "Device Connected" && sleep 1 && listed_since "$TMARK"; then
    pass "window: the plug shows \"Device Connected\" and lists the page again"
  else
    fail "window: no \"Device Connected\" and listing after the plug"
  fi
  import -window root "$W/window.png" 2>/dev/null && cp "$W/window.png" "${FQ_USB_VM_SHOT:-/dev/null}" 2>/dev/null
  kill "$APPJOB" 2>/dev/null; wait "$APPJOB" 2>/dev/null
  kill "$XVFB" 2>/dev/null; wait "$XVFB" 2>/dev/null
  echo "window status texts:"; sed 's/^/  /' "$LOG"
else
  fail "window: no $APP or no Xvfb"
fi

# Last, as the longest step: when a busy host leaves it too little time, it
# fails on its own and every step above has had its say.
echo "== writes in flight"
bash "$(dirname "$0")/InFlightUsbTest.sh" "$BUILD" || fail "writes in flight over USB (see above)"

echo "== $FAILURES failure(s)"
[ "$FAILURES" = 0 ]
