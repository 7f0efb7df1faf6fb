#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Bridgewick's tests on the user-mode kernel layer under AddressSanitizer
# (with UndefinedBehaviorSanitizer) and ThreadSanitizer, each in a build
# folder of its own next to the main one. Only the driver's test programs
# are built: one for the x64 build, one for the x86 build.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-2}"

for sanitizer in address thread; do
  case "$sanitizer" in
    address) dir="${BUILD_DIR}-asan" ;;
    thread) dir="${BUILD_DIR}-tsan" ;;
  esac
  echo "-- driver tests under ${sanitizer} sanitizer (${dir})"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFQ_SANITIZE="$sanitizer" >/dev/null
  cmake --build "$dir" -j "$JOBS" --target fq_driver_tests fq_driver_x86_tests
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir "$dir/tests/driver" --output-on-failure -j "$JOBS"
done
