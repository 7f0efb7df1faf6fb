#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows chain test's pieces, made ready before the native build: the
# wine prefix it copies for each run (cached beside the test machine's
# kernel) and its small Windows helper programs, in the Windows build made
# by 10-win64-core.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"
if [ "${FQ_WINDOWS_CHAIN:-1}" != 1 ]; then
  echo "windows chain: off (FQ_WINDOWS_CHAIN=0)"
  exit 0
fi
scripts/usb-vm/wine-prefix
cmake --build "${BUILD_DIR}-win64" -j "$JOBS" --target fq_usb_windows_helpers
