#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the USB test machine (WindowsChain.sh boots it): the Windows
# programs over the whole Windows chain, every piece but the cable's firmware
# written by someone else than its caller:
#   flashquill-cli.exe / flashquill.exe (no emulation option) -> SetupDi and
#   CreateFileA on the link interface -> Bridgewick.sys, installed from its
#   INF and loaded by wine's own Plug and Play -> wineusb.sys -> libusb -> the
#   machine's USB stack -> dummy_hcd -> FunctionFS -> flashquill-cable.
#
#   WindowsChainTest.sh BUILD_DIR WINDOWS_BUILD_DIR DRIVER_PACKAGE_DIR GAMES_DIR RUN_DIR [KNOWN]
#
# RUN_DIR holds a fresh wine prefix (RUN_DIR/prefix) and gets the logs.
# KNOWN names checks (comma-separated keys) whose fault is known and mended
# elsewhere: they still run and say what happened, as "KNOWN FAULT", but do
# not fail the run.
# - the package is staged as an installer does, the cable plugged in, and the
#   driver's interface appears; wine's traces show its PnP loading the driver;
# - every command of the Windows build prints the same and leaves the same
#   card and files as this machine's build on a copy of the card;
# - usbmon sees one bulk URB per transfer of the Windows build's list;
# - a pull during a read and a write ends the command with "Error Code: N"
#   and exit 1, PnP removes the interface, and after the plug info works;
# - the window finds the cable, lists the page, and follows a pull and a plug.
# Prints the round trip per exchange and a 1 MiB read's throughput under wine
# beside the figures of this machine's build over the same USB stack.
set -u
BUILD="$1" WIN="$2" PACKAGE="$3" GAMES="$4" RUN="$5" KNOWN=",${6:-},"
CLI="$BUILD/cli/flashquill-cli"
WCLI="$WIN/cli/flashquill-cli.exe"
WAPP="$WIN/app/flashquill.exe"
HELPERS="$WIN/tests/usb"
WINE64="$(command -v wine64 || echo /usr/lib/wine/wine64)"
read -r VID PID < "${FQ_USB_VM_STATE:-/run/usb-vm}/ids"
USB="--usb=$VID:$PID"
CARD="$FQ_USB_VM_CARD"
W="$(mktemp -d)"
mkdir -p "$W/win" "$W/emu" "$W/emucard"
cp "$CARD/flash.bin" "$CARD/sram.bin" "$W/emucard/"
EMU="--emulate=$W/emucard"

FAILURES=0
fail() { echo "FAILED: $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok: $*"; }
# fail_unless_known KEY TEXT: a failure, unless KEY is among the known faults.
fail_unless_known() {
  local KEY="$1"; shift
  case "$KNOWN" in
    *",$KEY,"*) echo "KNOWN FAULT ($KEY): $*" ;;
    *) fail "$*" ;;
  esac
}
now() { echo "${EPOCHREALTIME/./}"; }   # microseconds
ms_since() { echo $(( ($(now) - $1) / 1000 )); }

# The bus address of the cable as usbmon names it (BUS:DEV), and its bus.
cable_address() {
  local D
  for D in /sys/bus/usb/devices/*; do
    [ -r "$D/idProduct" ] && [ "$(cat "$D/idProduct")" = "$PID" ] && [ "$(cat "$D/idVendor")" = "$VID" ] || continue
    printf '%d:%03d %d\n' "$(cat "$D/busnum")" "$(cat "$D/devnum")" "$(cat "$D/busnum")"
    return 0
  done
  return 1
}

# usbmon's text records of one bus while COMMAND runs: counts of the bulk
# URBs to the cable and the round trip from a command's OUT URB submitted
# to its reply's IN URB completed.
monitored() {
  local MON_FILE="$1"; shift
  read -r ADDR BUS < <(cable_address)
  timeout 120 cat "/sys/kernel/debug/usb/usbmon/${BUS}u" > "$MON_FILE" &
  local MON=$!
  sleep 0.5
  "$@"
  local RC=$?
  sleep 0.5
  kill "$MON" 2>/dev/null; wait "$MON" 2>/dev/null
  return "$RC"
}
urbs() { grep -c " $1 $2:$ADDR:" "$3"; }
round_trip_us() {
  awk -v A="$ADDR" '
    $3 == "S" && index($4, "Bo:" A ":") == 1 { T = $2 }
    $3 == "C" && index($4, "Bi:" A ":") == 1 && T { S += $2 - T; N++; T = 0 }
    END { if (N) printf "%.0f", S / N; else printf "0" }' "$1"
}

# ---- this machine's build first: wineusb keeps the cable open for the
# whole wine session, so nothing else can open it once wine runs.
echo "== this machine's build over the same USB stack"
monitored "$W/native.mon" timeout 60 "$CLI" "$USB" --trace="$W/native-list.trace" list > /dev/null 2>&1 ||
  fail "list over USB with this machine's build"
NATIVE_RTT=$(round_trip_us "$W/native.mon")
NATIVE_EXCHANGES=$(grep -c '^OUT' "$W/native-list.trace")
START="$(now)"
timeout 120 "$CLI" "$USB" read-raw 1048576 "$W/native1m.bin" > /dev/null 2>&1 || fail "1 MiB read with this machine's build"
NATIVE_1M_US=$(( $(now) - START ))

# ---- wine: a session kept alive by a watcher of the device notices, the
# package staged while the cable is out, then the cable plugged in.
echo "== wine's Plug and Play installs and loads the driver"
timeout 20 usb-vm-unplug || fail "usb-vm-unplug before wine"
# wineusb learns of a cable plugged in or pulled out through libusb's hot-plug
# events, which come from udev as on any desktop: without its daemon wine
# would see only the cables there when it starts, and never one go.
UDEVD_START="$(now)"
/lib/systemd/systemd-udevd --daemon --resolve-names=never 2> "$RUN/udevd.log" || fail "systemd-udevd did not start"
echo "figure: udevd up in $(ms_since "$UDEVD_START") ms"
Xvfb :72 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
XVFB=$!
export DISPLAY=:72
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X72 ] && break; sleep 0.1; done
export WINEPREFIX="$RUN/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
SESSIONS=0
# Starts a wine session, kept alive by LinkWatch, which also records the
# device-change notices it is sent (RUN/notices-N.log). The session's
# services, and the driver's host process with them, inherit the first
# program's WINEDEBUG: Plug and Play's own traces and the modules loaded go
# to RUN/wine-N.log.
wine_session_start() {
  SESSIONS=$((SESSIONS + 1))
  NOTICES_LOG="$RUN/notices-$SESSIONS.log" WINE_LOG="$RUN/wine-$SESSIONS.log"
  local START="$(now)"
  WINEDEBUG="+plugplay,+loaddll,fixme-all,err+all" \
    timeout 1510 "$WINE64" "$HELPERS/LinkWatch.exe" hold 1500 > "$NOTICES_LOG" 2> "$WINE_LOG" &
  HOLD=$!
  # wine makes the full session before it runs the first program.
  local UNTIL=$((SECONDS + 240))
  until grep -q holding "$NOTICES_LOG" 2>/dev/null || [ "$SECONDS" -gt "$UNTIL" ]; do sleep 0.1; done
  grep -q holding "$NOTICES_LOG" || fail "the wine session did not start: $(tail -n 5 "$WINE_LOG")"
  echo "figure: wine session $SESSIONS up $(ms_since "$START") ms after the start"
}
# Ends the session with every program and driver in it.
wine_session_stop() {
  timeout 30 "$(dirname "$(readlink -f "$WINE64")")/wineserver" -k 2> /dev/null
  kill "$HOLD" 2> /dev/null; wait "$HOLD" 2> /dev/null
}
# Plugs the cable in and waits for the driver's link interface.
plug_and_wait() {
  local PLUGGED="$(now)"
  timeout 20 usb-vm-plug || fail "usb-vm-plug"
  LINK="$(timeout 70 "$WINE64" "$HELPERS/LinkWatch.exe" wait present 60 2>&1 | tr -d '\r')"
  echo "figure: the link interface appeared $(ms_since "$PLUGGED") ms after the plug: $LINK"
}
wine_session_start
DOS_PACKAGE="Z:${PACKAGE//\//\\}\\Bridgewick.inf"
STAGED="$(timeout 60 "$WINE64" "$HELPERS/StageDriver.exe" "$DOS_PACKAGE" 2>&1 | tr -d '\r')"
echo "staged: $STAGED"
[ -f "$WINEPREFIX/drive_c/windows/inf/${STAGED##*\\}" ] || fail "the package was not staged: $STAGED"
plug_and_wait
case "$LINK" in
  '\\?\'*'{1b65bedd-1d6a-11d6-807d-82b3dab6c625}'*) pass "the driver's link interface is there" ;;
  *) fail "no link interface after the plug: $LINK" ;;
esac
# The lines of wine's own traces that show its Plug and Play finding the
# cable, loading the driver, calling its AddDevice and the driver enabling
# its interface.
echo "wine's traces of the driver's arrival:"
grep -a -i -E "vid_${VID}&pid_${PID}|Bridgewick" "$WINE_LOG" | grep -a -v 'builtin$' | head -n 12 | cut -c1-200 | sed 's/^/  /'
# Each: the fixed text a line holds, and a second text the same line holds.
while IFS='|' read -r WANT ALSO; do
  grep -a -F "$WANT" "$WINE_LOG" | grep -a -q -F "$ALSO" || fail "no line of wine's traces with $WANT ... $ALSO"
done << LINES
Creating new device L"USB\\\\VID_${VID^^}&PID_${PID^^}|enumerate_new_device
drivers\\\\Bridgewick.sys" at|: native
Searching for new root-enumerated devices for driver L"Bridgewick"|wine_enumerate_root_devices
IoSetDeviceInterfaceState device L"\\\\??\\\\usb#vid_${VID}&pid_${PID}#|#{1b65bedd-1d6a-11d6-807d-82b3dab6c625}", enable 1
LINES

# ---- every command: the Windows build over the chain and this machine's
# build on a copy of the card, each in a folder of its own, must agree.
normalize() {
  tr -d '\r' < "$1" | sed -e 's/^Link: .*/Link: <transport>/' -e 's/Time used: [0-9:.]*/Time used: <t>/g' \
      -e 's/(no cable found)//' -e "s#$W/emu#<dir>#g" \
      -e 's#\\#/#g' -e 's#//*#/#g' \
      -e 's#[^ "]*sram-[0-9]\{8\}-[0-9]\{6\}[^ "]*\.sav#<backup>#g'
}
files_of() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
both() {
  local NAME="$1"; shift
  local START="$(now)"
  (cd "$W/win" && timeout 900 "$WINE64" "$WCLI" --yes "$@" > ../win.out 2> ../win.err); local U=$?
  local TOOK=$(ms_since "$START")
  (cd "$W/emu" && XDG_DATA_HOME="$W/emudata" timeout 900 "$CLI" "$EMU" --yes "$@" > ../emu.out 2> ../emu.err); local E=$?
  local WHY=""
  [ "$U" = "$E" ] || WHY+=" exit $U on Windows, $E here;"
  cmp -s <(normalize "$W/win.out") <(normalize "$W/emu.out") || WHY+=" standard output differs;"
  cmp -s <(normalize "$W/win.err") <(normalize "$W/emu.err") || WHY+=" standard error differs;"
  cmp -s "$CARD/flash.bin" "$W/emucard/flash.bin" || WHY+=" flash differs;"
  cmp -s "$CARD/sram.bin" "$W/emucard/sram.bin" || WHY+=" save RAM differs;"
  [ "$(files_of "$W/win")" = "$(files_of "$W/emu")" ] || WHY+=" files differ;"
  if [ -z "$WHY" ]; then
    pass "$NAME: the same as this machine's build (exit $U; $TOOK ms over the chain)"
  else
    fail "$NAME:$WHY"
    diff <(normalize "$W/win.out") <(normalize "$W/emu.out") | head -n 10
    diff <(normalize "$W/win.err") <(normalize "$W/emu.err") | head -n 10
  fi
}

echo "== every command over the Windows chain"
PACK=(demo32.gb demo64.gb demo32save.gb)
head -c 4096 /dev/urandom > "$W/win/save.sav"
for F in "${PACK[@]}"; do cp "$GAMES/$F" "$W/win/"; done
cp "$W/win"/*.gb "$W/win/save.sav" "$W/emu/"
both "info" info
both "list (empty card)" list

# ---- usbmon: the Windows build's list, one bulk URB per transfer.
echo "== usbmon over the Windows chain"
monitored "$W/win.mon" bash -c 'cd "$1" && timeout 60 "$2" "$3" --trace=list.trace list > /dev/null 2>&1' \
  list "$W/win" "$WINE64" "$WCLI" || fail "list for usbmon"
TRACE_OUT=$(grep -c '^OUT' "$W/win/list.trace"); TRACE_IN=$(grep -c '^IN' "$W/win/list.trace")
URB_OUT=$(urbs S Bo "$W/win.mon"); URB_IN=$(urbs S Bi "$W/win.mon")
DONE_OUT=$(urbs C Bo "$W/win.mon"); DONE_IN=$(urbs C Bi "$W/win.mon")
echo "list: $TRACE_OUT OUT and $TRACE_IN IN transfers in its trace; usbmon: $URB_OUT bulk OUT and $URB_IN bulk IN URBs submitted, $DONE_OUT and $DONE_IN completed"
if [ "$TRACE_OUT" -gt 0 ] && [ "$URB_OUT" = "$TRACE_OUT" ] && [ "$URB_IN" = "$TRACE_IN" ] &&
   [ "$DONE_OUT" = "$TRACE_OUT" ] && [ "$DONE_IN" = "$TRACE_IN" ]; then
  pass "every exchange of the Windows build's list is one bulk OUT and one bulk IN URB"
else
  fail "the URBs of the Windows build's list do not match its transfers"
fi
echo "figure: round trip per exchange on the wire (usbmon): $(round_trip_us "$W/win.mon") us under wine, $NATIVE_RTT us with this machine's build ($TRACE_OUT and $NATIVE_EXCHANGES exchanges)"

echo "== 1 MiB read"
START="$(now)"
(cd "$W/win" && timeout 300 "$WINE64" "$WCLI" read-raw 1048576 win1m.bin > /dev/null 2>&1) || fail "1 MiB read over the chain"
WIN_1M_US=$(( $(now) - START ))
cmp -s "$W/win/win1m.bin" "$W/native1m.bin" && cmp -s "$W/win/win1m.bin" <(head -c 1048576 "$CARD/flash.bin") &&
  pass "1 MiB read over the chain is the card file's, as this machine's build read it" || fail "1 MiB read over the chain differs from the card file"
awk -v U="$WIN_1M_US" -v N="$NATIVE_1M_US" 'BEGIN {
  printf "figure: 1 MiB read, whole program: %.2f s, %.0f KiB/s under wine; %.2f s, %.0f KiB/s with this machine'"'"'s build\n",
         U / 1e6, 1024 / (U / 1e6), N / 1e6, 1024 / (N / 1e6) }'

# A read stopped by its time limit leaves its hidden part file (the program
# was killed, so nothing could remove it): it goes too, so that the folders
# compared below hold only what the commands made.
rm -f "$W/win/win1m.bin" "$W/win"/.win1m.bin.* "$W/win/list.trace"

both "write, a pack of three to page 2" --page=2 write "${PACK[@]}" --verify
both "list --page=2" --page=2 list
both "read --all" --page=2 read --all -o games/
both "read-raw" --page=2 read-raw 65536 raw.bin
both "read-sram" read-sram before.sav
both "write-sram, the backup first" write-sram save.sav --verify
both "read-sram after" read-sram after.sav

SOURCE="$(for F in "${PACK[@]}"; do sha256sum < "$GAMES/$F"; done | sort)"
BACK="$(for F in "$W"/win/games/*; do sha256sum < "$F"; done | sort)"
[ "$SOURCE" = "$BACK" ] && [ "$(ls "$W/win/games" | wc -l)" = 3 ] &&
  pass "the three games read back over the chain are the files written" ||
  fail "the games read back over the chain are not the files written"
cmp -s "$W/win/raw.bin" <(tail -c +$((4194304 + 1)) "$CARD/flash.bin" | head -c 65536) &&
  pass "read-raw of page 2 is the card file's page 2" || fail "read-raw of page 2 differs from the card file"
cmp -s -n 4096 "$W/win/after.sav" "$W/win/save.sav" && pass "the save RAM written is read back" ||
  fail "the save RAM read back is not the file written"
WIN_BACKUP="$(ls -t "$WINEPREFIX"/drive_c/backups/sram-*.sav 2>/dev/null | head -n 1)"
EMU_BACKUP="$(ls -t "$W"/emudata/*/backups/sram-*.sav 2>/dev/null | head -n 1)"
if [ -n "$WIN_BACKUP" ] && cmp -s "$WIN_BACKUP" "$W/win/before.sav" && cmp -s "$WIN_BACKUP" "$EMU_BACKUP"; then
  pass "write-sram's backup (C:\\backups\\${WIN_BACKUP##*/}) holds the save RAM as it was"
else
  fail "write-sram's backup: ${WIN_BACKUP:-none} against ${EMU_BACKUP:-none}"
fi

# ---- the window.
echo "== the window"
WINDOW_LOG="$RUN/window-status.log"
(cd "$W/win" && exec timeout 600 "$WINE64" "$WAPP" --trace=window.trace > "$RUN/window.out" 2>&1) &
APP=$!
timeout 610 "$WINE64" "$HELPERS/WindowStatus.exe" "Flashquill (Ver:" 600 > "$WINDOW_LOG" 2>&1 &
STATUS=$!
status_after() {   # waits until the status shows TEXT after line FROM
  local FROM="$1" TEXT="$2" END=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$END" ]; do
    tail -n +"$FROM" "$WINDOW_LOG" 2>/dev/null | tr -d '\r' | grep -qx "0: $TEXT" && return 0
    sleep 0.2
  done
  return 1
}
lines() { wc -l < "$WINDOW_LOG"; }
listed_since() { tail -n +"$1" "$W/win/window.trace" 2>/dev/null | grep -q '^OUT 9 ff'; }
if status_after 1 "Device Connected" && sleep 1 && listed_since 1; then
  pass "window: finds the cable through SetupDi, says \"Device Connected\" and lists the page"
else
  fail_unless_known window-start "window: not connected at the start"
fi
NOTICES=$(wc -l < "$NOTICES_LOG")
MARK=$(( $(lines) + 1 ))
PULLED="$(now)"
timeout 20 usb-vm-unplug || fail "window: usb-vm-unplug"
WEDGED=""
if status_after "$MARK" "Device Disconnected"; then
  pass "window: the pull shows \"Device Disconnected\" ($(ms_since "$PULLED") ms)"
else
  WEDGED=1
  fail_unless_known window-pull "window: no \"Device Disconnected\" after the pull"
  show_waiting "$W/win/window.trace"
fi
MARK=$(( $(lines) + 1 )); TMARK=$(( $(wc -l < "$W/win/window.trace") + 1 ))
PLUGGED="$(now)"
timeout 20 usb-vm-plug || fail "window: usb-vm-plug"
if status_after "$MARK" "Device Connected" && sleep 1 && listed_since "$TMARK"; then
  pass "window: the plug shows \"Device Connected\" and lists the page again ($(ms_since "$PLUGGED") ms)"
elif [ -n "$WEDGED" ]; then
  fail_unless_known window-pull "window: no \"Device Connected\" and listing after the plug"
else
  fail "window: no \"Device Connected\" and listing after the plug"
fi
echo "device-change notices a registered window was sent for the pull and the plug:"
tail -n +"$((NOTICES + 1))" "$NOTICES_LOG" | tr -d '\r' | sed 's/^/  /'
echo "window status texts:"; tr -d '\r' < "$WINDOW_LOG" | sed 's/^/  /'
timeout 20 "$WINE64" taskkill /im flashquill.exe > /dev/null 2>&1
for _ in $(seq 100); do kill -0 "$APP" 2>/dev/null || break; sleep 0.1; done
pkill -KILL -P "$APP" 2>/dev/null; kill "$APP" "$STATUS" 2>/dev/null; wait "$APP" "$STATUS" 2>/dev/null
rm -f "$W/win/window.trace"
if [ -n "$WEDGED" ]; then
  echo "window: the wine session is ended and started again"
  wine_session_stop
  wine_session_start
  timeout 70 "$WINE64" "$HELPERS/LinkWatch.exe" wait present 60 > /dev/null 2>&1 ||
    fail "window: no link interface in the new session"
fi

# ---- faults: a pull during a read and during a write.
# What the chain shows when a program waits after a pull: the program's last
# transfers, wineusb's complaints and Plug and Play's last steps.
show_waiting() {
  local TRACE="$1"
  echo "  the program's last transfers:"; tail -n 2 "$TRACE" 2>/dev/null | sed 's/^/    /'
  echo "  wine's last traces:"
  { grep -a 'wineusb' "$WINE_LOG" | tail -n 2; grep -a ':plugplay:' "$WINE_LOG" | tail -n 2; } | cut -c1-160 | sed 's/^/    /'
}
# After a pull: Plug and Play must remove the link interface, and after the
# plug info must work again. A program that hung leaves a transfer of the
# driver's waiting, and wine's Plug and Play waits with it; the session is
# then ended and started again, which is said.
link_gone_and_back() {
  local KEY="$1" NAME="$2" PULLED="$3" HUNG="$4"
  if timeout 40 "$WINE64" "$HELPERS/LinkWatch.exe" wait absent 30 > /dev/null 2>&1; then
    pass "$NAME: wine's Plug and Play removed the link interface ($(ms_since "$PULLED") ms after the pull)"
  elif [ -n "$HUNG" ]; then
    fail_unless_known "$KEY" "$NAME: the link interface is still there 30 s after the pull"
  else
    fail "$NAME: the link interface is still there 30 s after the pull"
  fi
  if [ -n "$HUNG" ]; then
    echo "$NAME: the wine session is ended and started again"
    wine_session_stop
    wine_session_start
  fi
  local PLUGGED="$(now)"
  timeout 20 usb-vm-plug || fail "$NAME: usb-vm-plug"
  timeout 70 "$WINE64" "$HELPERS/LinkWatch.exe" wait present 60 > /dev/null 2>&1 ||
    fail "$NAME: no link interface 60 s after the plug"
  if (cd "$W/win" && timeout 60 "$WINE64" "$WCLI" info 2>&1 | tr -d '\r' > "$W/info.out") && grep -q "Device Connected" "$W/info.out"; then
    pass "$NAME: after the plug, info works again ($(ms_since "$PLUGGED") ms after the plug)"
  else
    fail "$NAME: info after the plug: $(cat "$W/info.out")"
  fi
}
# pull_during KEY NAME ARGS: starts the Windows build with ARGS, pulls the
# cable once its trace shows the transfer under way, and gives the program
# 15 s to end; one still running then is stopped and counted as hanging.
pull_during() {
  local KEY="$1" NAME="$2"; shift 2
  rm -f "$W/win/pull.trace"
  (cd "$W/win" && exec timeout -s KILL 120 "$WINE64" "$WCLI" --yes --trace=pull.trace "$@" > ../pull.out 2> ../pull.err) &
  local JOB=$!
  local END=$((SECONDS + 40))
  while [ "$(cat "$W/win/pull.trace" 2>/dev/null | wc -l)" -lt 40 ] && [ "$SECONDS" -lt "$END" ] && kill -0 "$JOB" 2>/dev/null; do
    sleep 0.05
  done
  local PULLED="$(now)"
  timeout 20 usb-vm-unplug || fail "$NAME: usb-vm-unplug"
  local GIVE=$((SECONDS + 15))
  while kill -0 "$JOB" 2>/dev/null && [ "$SECONDS" -lt "$GIVE" ]; do sleep 0.1; done
  local TOOK=$(ms_since "$PULLED") HUNG=""
  if kill -0 "$JOB" 2>/dev/null; then
    HUNG=1
    pkill -KILL -P "$JOB" 2>/dev/null; kill -KILL "$JOB" 2>/dev/null
  fi
  wait "$JOB"; local RC=$?
  local SAID="$(tr -d '\r' < "$W/pull.err" | grep -o 'Error Code: [0-9]*' | head -n 1)"
  if [ -n "$HUNG" ]; then
    fail_unless_known "$KEY" "$NAME: still waiting $TOOK ms after the pull (stopped); it had said: $(tr -d '\r' < "$W/pull.err" | tail -n 1)"
    show_waiting "$W/win/pull.trace"
  elif [ "$RC" = 1 ] && [ -n "$SAID" ]; then
    pass "$NAME: ended $TOOK ms after the pull with exit 1 and \"$SAID\""
  else
    fail "$NAME: exit $RC $TOOK ms after the pull; standard error: $(tr -d '\r' < "$W/pull.err" | tail -n 2)"
  fi
  link_gone_and_back "$KEY" "$NAME" "$PULLED" "$HUNG"
}
echo "== pulling the cable"
head -c 262144 /dev/urandom > "$W/win/big.bin"
pull_during pull-during-write "pull during a write" write-raw big.bin
pull_during pull-during-read "pull during a read" read-raw 4194304 pulled.bin
rm -f "$W/win/pulled.bin" "$W/win/big.bin"

# ---- a Windows program ended (TerminateProcess, as Task Manager does) while
# its read waits for a reply the cable never sends: the cable's program is
# stopped during the read and let go on afterwards.
echo "== a program killed during a read that the cable never answers"
read -r CABLE_PID < "${FQ_USB_VM_STATE:-/run/usb-vm}/cable.pid"
rm -f "$W/win/stall.trace"
(cd "$W/win" && exec timeout -s KILL 90 "$WINE64" "$WCLI" --trace=stall.trace read-raw 1048576 stalled.bin > ../stall.out 2>&1) &
JOB=$!
END=$((SECONDS + 40))
while [ "$(cat "$W/win/stall.trace" 2>/dev/null | wc -l)" -lt 40 ] && [ "$SECONDS" -lt "$END" ] && kill -0 "$JOB" 2>/dev/null; do
  sleep 0.05
done
kill -STOP "$CABLE_PID"
sleep 2
KILLED="$(now)"
timeout 30 "$WINE64" taskkill /f /im flashquill-cli.exe > "$W/taskkill.out" 2>&1
GIVE=$((SECONDS + 15))
while kill -0 "$JOB" 2>/dev/null && [ "$SECONDS" -lt "$GIVE" ]; do sleep 0.1; done
if kill -0 "$JOB" 2>/dev/null; then
  fail_unless_known kill-during-unanswered-read "a program killed during an unanswered read is still there $(ms_since "$KILLED") ms later"
  pkill -KILL -P "$JOB" 2>/dev/null; kill -KILL "$JOB" 2>/dev/null
else
  pass "a program killed during an unanswered read ended $(ms_since "$KILLED") ms after TerminateProcess"
fi
wait "$JOB" 2>/dev/null
kill -CONT "$CABLE_PID"
# The reply the cable owed goes to the driver's waiting transfer, not to
# the next program.
if (cd "$W/win" && timeout 60 "$WINE64" "$WCLI" info 2>&1 | tr -d '\r' > "$W/info.out") && grep -q "Device Connected" "$W/info.out"; then
  pass "after the killed read, info works again"
else
  fail_unless_known kill-during-unanswered-read "info after the killed read: $(tail -n 2 "$W/info.out")"
fi

# ---- writes in flight over the chain: the same write one packet at a time
# and with the default number in flight (overlapped WriteFile calls), wall
# times and their ratio, each read back byte-exact. Last, as it changes the
# card the comparisons above share with this machine's copy.
echo "== writes in flight over the Windows chain"
declare -A TOOK
for CASE in one many; do
  head -c 131072 /dev/urandom > "$W/win/$CASE.bin"
  if [ "$CASE" = one ]; then DEPTH=(--writes-in-flight=1); HOW="one at a time"; else DEPTH=(); HOW="with the default in flight"; fi
  START="$(now)"
  (cd "$W/win" && timeout 300 "$WINE64" "$WCLI" "${DEPTH[@]}" --yes write-raw "$CASE.bin" --no-verify --no-backup \
     > ../inflight.out 2> ../inflight.err)
  STATUS=$?
  TOOK[$CASE]=$(ms_since "$START")
  (cd "$W/win" && timeout 120 "$WINE64" "$WCLI" --yes read-raw 131072 "$CASE.back" > /dev/null 2>&1)
  if [ "$STATUS" = 0 ] && cmp -s "$W/win/$CASE.bin" "$W/win/$CASE.back"; then
    pass "128 KiB written $HOW over the chain reads back byte-exact (${TOOK[$CASE]} ms)"
  else
    fail "128 KiB written $HOW over the chain: exit $STATUS; $(tr -d '\r' < "$W/inflight.err" | tail -n 1)"
    TOOK[$CASE]=0
  fi
done
if [ "${TOOK[one]}" -gt 0 ] && [ "${TOOK[many]}" -gt 0 ]; then
  echo "figure: 128 KiB write over the Windows chain: one at a time ${TOOK[one]} ms, in flight ${TOOK[many]} ms," \
       "ratio $(awk -v A="${TOOK[one]}" -v B="${TOOK[many]}" 'BEGIN { printf "%.2f", A / B }')"
fi

wine_session_stop
kill "$XVFB" 2>/dev/null
echo "== $FAILURES failure(s)"
[ "$FAILURES" = 0 ]
