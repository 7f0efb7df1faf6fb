#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The USB test machine starts with fresh, empty /tmp, /run, /var/tmp and
# /root: what a run needs from below them must be shared again. Here the
# cable's program, the current folder and a --share folder all lie below
# /tmp; the cable must enumerate, the command must read the shared folder and
# write into the current one, and the shared folder must stay read-only.
#
#   FreshFoldersTest.sh FLASHQUILL_CABLE
set -uo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
T="$(mktemp -d /tmp/fq-fresh-folders.XXXXXX)"
trap 'rm -rf "$T"' EXIT
mkdir -p "$T/cable" "$T/work" "$T/shared"
cp "$1" "$T/cable/flashquill-cable"
echo "seen from the machine" > "$T/shared/note"

cd "$T/work"
FQ_CABLE="$T/cable/flashquill-cable" "$HERE/../../scripts/usb-vm/run" --limit 240 --share "$T/shared" -- \
  bash -c 'cat "$1/shared/note" && cp "$1/shared/note" "$1/work/back" && ! touch "$1/shared/planted" 2> /dev/null' \
  check "$T" > "$T/out" 2>&1
RC=$?
[ "$RC" = 77 ] && { cat "$T/out"; exit 77; }
FAILURES=0
fail() { echo "FAILED: $*"; FAILURES=$((FAILURES + 1)); }
[ "$RC" = 0 ] || fail "the run ended with $RC: $(tail -n 5 "$T/out")"
grep -qx "seen from the machine" "$T/out" || fail "the shared folder below /tmp was not seen"
cmp -s "$T/shared/note" "$T/work/back" || fail "the current folder below /tmp was not written"
[ ! -e "$T/shared/planted" ] || fail "the --share folder was writable"
[ "$FAILURES" = 0 ] && echo "ok: the cable, the current folder and a shared folder below /tmp were all there"
[ "$FAILURES" = 0 ]
