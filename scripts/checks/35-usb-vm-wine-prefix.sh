#!/usr/bin/env bash
# The Windows chain test's pieces, made ready before the native build: the
# wine prefix it copies for each run (cached beside the test machine's
# kernel) and its small Windows helper programs, in the Windows build made
# by 10-win64-core.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"
scripts/usb-vm/wine-prefix
cmake --build "${BUILD_DIR}-win64" -j "$JOBS" --target fq_usb_windows_helpers
