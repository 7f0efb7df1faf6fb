#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the USB test machine (scripts/usb-vm/run): a 128 KiB raw write
# over a real kernel's USB stack, one packet at a time (--writes-in-flight=1)
# and with the default number in flight, each read back byte-exact. Prints
# the wall time of both, measured in the same run, and their ratio; the
# ratio is the figure, not a pass mark (the machine is shared and emulated).
#
#   InFlightUsbTest.sh BUILD_DIR
set -u
BUILD="$(cd "$1" && pwd)"
CLI="$BUILD/cli/flashquill-cli"
read -r VID PID < "${FQ_USB_VM_STATE:-/run/usb-vm}/ids"
USB="--usb=$VID:$PID"
W="$(mktemp -d)"
FAILURES=0
now() { echo "${EPOCHREALTIME/./}"; }   # microseconds

# Two images, so that the second write cannot pass by finding the first.
head -c 131072 /dev/urandom > "$W/one.bin"
head -c 131072 /dev/urandom > "$W/many.bin"

declare -A TOOK
for CASE in one many; do
  if [ "$CASE" = one ]; then DEPTH=(--writes-in-flight=1); else DEPTH=(); fi
  START="$(now)"
  (cd "$W" && XDG_DATA_HOME="$W/data" timeout 200 "$CLI" "$USB" "${DEPTH[@]}" --yes write-raw "$W/$CASE.bin" --no-verify \
     > "$W/$CASE.out" 2> "$W/$CASE.err")
  STATUS=$?
  TOOK[$CASE]=$(( ($(now) - START) / 1000 ))
  if [ "$STATUS" != 0 ]; then
    echo "FAILED: write ${DEPTH[*]:-(default)} exit $STATUS"; cat "$W/$CASE.err"; FAILURES=$((FAILURES + 1)); continue
  fi
  (cd "$W" && XDG_DATA_HOME="$W/data" timeout 100 "$CLI" "$USB" --yes read-raw 128K "$W/$CASE.back" \
     > /dev/null 2> "$W/$CASE.read.err")
  if cmp -s "$W/$CASE.bin" "$W/$CASE.back"; then
    echo "ok: 128 KiB written ${DEPTH[*]:-with the default in flight} reads back byte-exact (${TOOK[$CASE]} ms)"
  else
    echo "FAILED: 128 KiB written ${DEPTH[*]:-with the default in flight} does not read back"; cat "$W/$CASE.read.err"
    FAILURES=$((FAILURES + 1))
  fi
done
if [ "${TOOK[one]:-0}" -gt 0 ] && [ "${TOOK[many]:-0}" -gt 0 ]; then
  echo "figure: 128 KiB write over USB: one at a time ${TOOK[one]} ms, in flight ${TOOK[many]} ms," \
       "ratio $(awk -v A="${TOOK[one]}" -v B="${TOOK[many]}" 'BEGIN { printf "%.2f", A / B }')"
fi
rm -rf "$W"
echo "$((2 - FAILURES)) passed, $FAILURES failed"
[ "$FAILURES" = 0 ]
