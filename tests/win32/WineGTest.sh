#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program of the Windows build under wine on an X server of its
# own (its windows need one), in the run's wine prefix (WINEPREFIX).
#   WineGTest.sh WINE64 TEST_EXE [gtest options...]
# Exits 77 (skipped) when the Windows build is not there.
set -uo pipefail
WINE64="$1" TEST_EXE="$2"
shift 2
if [ ! -f "$TEST_EXE" ]; then
  echo "skipped: no Windows build at $TEST_EXE (scripts/checks/10-win64-core.sh makes it)"
  exit 77
fi
export WINEDEBUG=-all
started=$(date +%s)
xvfb-run -a -s "-screen 0 1024x768x24" "$WINE64" "$TEST_EXE" "$@" 2>&1 | tr -d '\r'
rc=${PIPESTATUS[0]}
echo "under wine for $(($(date +%s) - started)) s"
exit "$rc"
