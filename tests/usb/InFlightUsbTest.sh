#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the USB test machine (scripts/usb-vm/run; UsbStackTest.sh runs
# it in its own machine): a 1 MiB raw write over a real kernel's USB stack,
# one packet at a time (--writes-in-flight=1) and with the default number in
# flight, each read back byte-exact. Prints the wall time of both, measured
# in the same run, and their ratio; the ratio is the figure, not a pass mark
# (the machine is emulated in software and the host may be busy).
#
#   InFlightUsbTest.sh BUILD_DIR [BYTES]
#
# Each command's time limit is what the machine has left (the session's
# deadline), less a margin, so that a slow host ends the run with a clear
# failure and the figures so far rather than the machine's own stop.
set -u
BUILD="$(cd "$1" && pwd)"
BYTES="${2:-1048576}"
CLI="$BUILD/cli/flashquill-cli"
STATE="${FQ_USB_VM_STATE:-/run/usb-vm}"
read -r VID PID < "$STATE/ids"
USB="--usb=$VID:$PID"
W="$(mktemp -d)"
trap 'rm -rf "$W"' EXIT
FAILURES=0
now() { echo "${EPOCHREALTIME/./}"; }   # microseconds
# The seconds left before the machine's command is stopped, less a margin
# for the report: the limit of the next command.
DEADLINE="$(cat "$STATE/deadline" 2>/dev/null || echo $((EPOCHSECONDS + 600)))"
left() { local L=$((DEADLINE - EPOCHSECONDS - 10)); echo $((L > 1 ? L : 1)); }

# Two images, so that the second write cannot pass by finding the first.
head -c "$BYTES" /dev/urandom > "$W/one.bin"
head -c "$BYTES" /dev/urandom > "$W/many.bin"
SIZE="$((BYTES / 1024)) KiB"

declare -A TOOK
for CASE in one many; do
  if [ "$CASE" = one ]; then DEPTH=(--writes-in-flight=1); HOW="one at a time"; else DEPTH=(); HOW="with the default in flight"; fi
  START="$(now)"
  (cd "$W" && XDG_DATA_HOME="$W/data" timeout "$(left)" "$CLI" "$USB" "${DEPTH[@]}" --yes write-raw "$W/$CASE.bin" --no-verify \
     > "$W/$CASE.out" 2> "$W/$CASE.err")
  STATUS=$?
  TOOK[$CASE]=$(( ($(now) - START) / 1000 ))
  if [ "$STATUS" != 0 ]; then
    echo "FAILED: $SIZE written $HOW: exit $STATUS after ${TOOK[$CASE]} ms$([ "$STATUS" = 124 ] && echo " (out of time)")"
    tail -n 3 "$W/$CASE.err"
    FAILURES=$((FAILURES + 1)); TOOK[$CASE]=0
    continue
  fi
  (cd "$W" && XDG_DATA_HOME="$W/data" timeout "$(left)" "$CLI" "$USB" --yes read-raw "$BYTES" "$W/$CASE.back" \
     > /dev/null 2> "$W/$CASE.read.err")
  if cmp -s "$W/$CASE.bin" "$W/$CASE.back"; then
    echo "ok: $SIZE written $HOW reads back byte-exact (${TOOK[$CASE]} ms)"
  else
    echo "FAILED: $SIZE written $HOW does not read back"; tail -n 3 "$W/$CASE.read.err"
    FAILURES=$((FAILURES + 1))
  fi
done
if [ "${TOOK[one]:-0}" -gt 0 ] && [ "${TOOK[many]:-0}" -gt 0 ]; then
  echo "figure: $SIZE write over USB: one at a time ${TOOK[one]} ms, in flight ${TOOK[many]} ms," \
       "ratio $(awk -v A="${TOOK[one]}" -v B="${TOOK[many]}" 'BEGIN { printf "%.2f", A / B }')"
fi
echo "writes in flight: $((2 - FAILURES)) passed, $FAILURES failed"
[ "$FAILURES" = 0 ]
