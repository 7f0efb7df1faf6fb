#!/usr/bin/env bash
# Runs inside the USB test machine (WindowsChain.sh boots it): the Windows
# programs over the whole Windows chain, every piece but the cable's firmware
# written by someone else than its caller:
#   flashquill-cli.exe / flashquill.exe (no emulation option) -> SetupDi and
#   CreateFileA on the link interface -> Bridgewick.sys, installed from its
#   INF and loaded by wine's own Plug and Play -> wineusb.sys -> libusb -> the
#   machine's USB stack -> dummy_hcd -> FunctionFS -> flashquill-cable.
#
#   WindowsChainTest.sh BUILD_DIR WINDOWS_BUILD_DIR DRIVER_PACKAGE_DIR GAMES_DIR RUN_DIR
#
# RUN_DIR holds a fresh wine prefix (RUN_DIR/prefix) and gets the logs.
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
BUILD="$1" WIN="$2" PACKAGE="$3" GAMES="$4" RUN="$5"
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
export WINEPREFIX="$RUN/prefix" WINEDLLOVERRIDES="mscoree,mshtml="
# The session's services (and the driver's host process) inherit the first
# program's WINEDEBUG: Plug and Play's own traces and the modules loaded.
export WINEDEBUG="+plugplay,+loaddll,fixme-all,err+all"
WINE_START="$(now)"
timeout 280 "$WINE64" "$HELPERS/LinkWatch.exe" hold 270 > "$RUN/notices.log" 2> "$RUN/wine.log" &
HOLD=$!
export WINEDEBUG=-all
# wine makes the full session before it runs the first program.
for _ in $(seq 300); do grep -q holding "$RUN/notices.log" 2>/dev/null && break; sleep 0.1; done
grep -q holding "$RUN/notices.log" || fail "the wine session did not start: $(tail -n 5 "$RUN/wine.log")"
echo "figure: wine session up $(ms_since "$WINE_START") ms after the start"
DOS_PACKAGE="Z:${PACKAGE//\//\\}\\Bridgewick.inf"
STAGED="$(timeout 60 "$WINE64" "$HELPERS/StageDriver.exe" "$DOS_PACKAGE" 2>&1 | tr -d '\r')"
echo "staged: $STAGED"
[ -f "$WINEPREFIX/drive_c/windows/inf/${STAGED##*\\}" ] || fail "the package was not staged: $STAGED"
PLUGGED="$(now)"
timeout 20 usb-vm-plug || fail "usb-vm-plug"
LINK="$(timeout 70 "$WINE64" "$HELPERS/LinkWatch.exe" wait present 60 2>&1 | tr -d '\r')"
echo "figure: the link interface appeared $(ms_since "$PLUGGED") ms after the plug: $LINK"
case "$LINK" in
  '\\?\'*'{1b65bedd-1d6a-11d6-807d-82b3dab6c625}'*) pass "the driver's link interface is there" ;;
  *) fail "no link interface after the plug: $LINK" ;;
esac
echo "wine's traces of the driver's arrival:"
grep -a -i -E 'bridgewick|install_device_driver|load_function_driver|start_device|add_device|DriverEntry' "$RUN/wine.log" |
  grep -a -v -i 'fixme' | head -n 20 | sed 's/^/  /'
grep -a -q -i 'Bridgewick.sys' "$RUN/wine.log" || fail "wine's traces do not show Bridgewick.sys loaded"

echo "== $FAILURES failure(s)"
[ "$FAILURES" = 0 ]
