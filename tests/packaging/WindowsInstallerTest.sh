#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer under wine, in a prefix of its own: a silent install
# puts the programs, the driver package, the Start-menu entries, the
# uninstaller and its Add/Remove Programs entry in place, without installing
# the driver (that box is not ticked by default); the installed command line
# works on an emulated card; the silent uninstall takes all of it away.
#
#   WindowsInstallerTest.sh WINE64 SETUP_EXE
# Exits 77 (skipped) when the installer has not been built.
set -uo pipefail
WINE64="$1" SETUP="$2"

if [ ! -f "$SETUP" ]; then
  echo "skipped: no installer at $SETUP (scripts/checks/10-win64-core.sh makes it)"
  exit 77
fi

SCRATCH="$(mktemp -d)"
export WINEPREFIX="$SCRATCH/wine" WINEDEBUG=-all
WINESERVER="$(dirname "$WINE64")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER=wineserver
trap '"$WINESERVER" -k 2>/dev/null; rm -rf "$SCRATCH"' EXIT
"$WINE64" wineboot --init >/dev/null 2>&1 || true

FAILURES=0
fail() {
  echo "FAILED: $*"
  FAILURES=$((FAILURES + 1))
}
DRIVE_C="$WINEPREFIX/drive_c"
DIR="$DRIVE_C/Program Files/Flashquill"
MENU="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Flashquill"
# The uninstaller's entry in Add/Remove Programs; fails when it is not there.
uninstall_entry() {
  "$WINE64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Flashquill' /v UninstallString 2>/dev/null |
    tr -d '\r' | grep 'Uninstall.exe'
}

echo "-- silent install"
cp "$SETUP" "$SCRATCH/setup.exe"
"$WINE64" "$SCRATCH/setup.exe" /S
rc=$?
"$WINESERVER" -w
[ "$rc" = 0 ] || fail "installer exit code $rc"

# What this installer must have put in place: the window and the driver's
# files as far as the build had them, which its list of files says.
FILES_NSH="$(dirname "$SETUP")/packaging/windows/Files.nsh"
expected=("flashquill-cli.exe" "Uninstall.exe" "LICENSE.txt")
grep -q '^!define FQ_WINDOW ' "$FILES_NSH" && expected+=("flashquill.exe")
while read -r name file; do
  case "$name" in
    FQ_DRIVER_*_X64_NAME | FQ_DRIVER_CER_NAME) expected+=("driver/x64/$file") ;;
    FQ_DRIVER_*_X86_NAME) expected+=("driver/x86/$file") ;;
  esac
done < <(sed -n 's/^!define \(FQ_DRIVER_[A-Z0-9_]*_NAME\) "\(.*\)"$/\1 \2/p' "$FILES_NSH")
echo "expected: ${expected[*]}"
# A signed package is of no use on a machine that cannot trust its signer.
if grep -q '^!define FQ_DRIVER_CAT_X64_NAME ' "$FILES_NSH" && ! grep -q '^!define FQ_DRIVER_CER_NAME ' "$FILES_NSH"; then
  fail "the installer carries the signed driver package without the test certificate it is signed with"
fi
for f in "${expected[@]}"; do
  [ -f "$DIR/$f" ] || fail "not installed: $f"
done
for f in "$MENU/Flashquill Command Line.lnk" "$MENU/Uninstall Flashquill.lnk"; do
  [ -f "$f" ] || fail "no Start-menu entry: $f"
done
uninstall_entry >/dev/null || fail "no Add/Remove Programs entry"
"$WINE64" reg query 'HKLM\Software\Flashquill' /v DriverInstalled >/dev/null 2>&1 &&
  fail "the driver was installed although its box was not ticked"

echo "-- the installed command line on an emulated card"
out="$("$WINE64" "$DIR/flashquill-cli.exe" --emulate="Z:$SCRATCH/card" info 2>&1 | tr -d '\r')"
rc=$?
echo "$out"
{ [ "$rc" = 0 ] && [ -n "$out" ] && [ -f "$SCRATCH/card/flash.bin" ]; } || fail "flashquill-cli --emulate info: no answer or no card"
"$WINE64" "$DIR/flashquill-cli.exe" --version 2>&1 | grep -q "GPL version 3 or later" || fail "flashquill-cli --version without its licence"
grep -q "GNU GENERAL PUBLIC LICENSE" "$DIR/LICENSE.txt" || fail "LICENSE.txt is not the licence"

echo "-- silent uninstall"
"$WINE64" "$DIR/Uninstall.exe" /S
"$WINESERVER" -w
[ ! -e "$DIR" ] || fail "left behind: $(cd "$DRIVE_C" && find "Program Files/Flashquill")"
[ ! -e "$MENU" ] || fail "Start-menu entries left behind"
uninstall_entry >/dev/null && fail "Add/Remove Programs entry left behind"

[ "$FAILURES" = 0 ] && echo "installer: installed, ran and uninstalled under wine"
exit $((FAILURES > 0))
