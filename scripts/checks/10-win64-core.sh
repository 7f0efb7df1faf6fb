#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the Qt-free core and the command line for 64-bit Windows with
# mingw-w64, the Windows transport of the link included, so that a change
# that breaks the Windows build fails here and not on a Windows machine;
# then the Windows installer with what this build has (the native build's
# tests run it under wine).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"
WIN_DIR="${BUILD_DIR}-win64"

cmake -S . -B "$WIN_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DFQ_CORE_ONLY=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
# The window needs the form's behaviour; without it the target is absent.
WINDOW_TARGET=""
TARGETS="$(ninja -C "$WIN_DIR" -t targets all 2>/dev/null)"
grep -q '^flashquill:' <<<"$TARGETS" && WINDOW_TARGET="flashquill fq_win32_tests"
# The window's behaviour tests, also run under wine, once they are toolkit-free.
grep -q '^fq_app_tests:' <<<"$TARGETS" && WINDOW_TARGET="$WINDOW_TARGET fq_app_tests"
cmake --build "$WIN_DIR" -j "$JOBS" --target fq_core fq_core_win64_smoke flashquill-cli $WINDOW_TARGET windows_installer
echo "win64 core: built $(find "$WIN_DIR" -name 'libfq_core.a' | head -n 1)"
echo "win64 command line: built $(find "$WIN_DIR" -name 'flashquill-cli.exe' | head -n 1)"
if [ -n "$WINDOW_TARGET" ]; then echo "win64 window: built $WIN_DIR/app/flashquill.exe"; fi
echo "windows installer: built $(ls "$WIN_DIR"/Flashquill-Setup-*.exe)"
