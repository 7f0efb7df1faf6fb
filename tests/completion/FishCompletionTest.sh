#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# flashquill-cli's fish completion as fish runs it: each case's command line
# completed by fish itself (complete -C) with the generated script loaded, in
# a scratch folder of files, and the words offered compared.
#   FishCompletionTest.sh COMPLETION_FILE
set -uo pipefail
script="$1"
command -v fish >/dev/null || { echo "fish is not installed: skipped"; exit 77; }
fish --no-config -n "$script" || { echo "fish finds the script malformed"; exit 1; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir games saves
touch one.gb two.GBC three.sav notes.txt games/four.gb saves/old.SAV

failures=0
# line | the words offered (sorted, space-separated; folders end in /)
while IFS='|' read -r line expected; do
  [ -z "$line" ] && continue
  got="$(fish --no-config -c "source '$script'; complete -C '$line'" 2>&1 | cut -f1 | LC_ALL=C sort | paste -sd' ')"
  if [ "$got" != "$expected" ]; then
    echo "FAILED: '$line'"
    echo "  expected: '$expected'"
    echo "  offered:  '$got'"
    failures=$((failures + 1))
  fi
done <<'CASES'
flashquill-cli wr|write write-raw write-sram
flashquill-cli --page=1 help w|write write-raw write-sram
flashquill-cli --page=|--page=1 --page=2
flashquill-cli --emulate=|--emulate=games/ --emulate=saves/
flashquill-cli write |games/ one.gb saves/ two.GBC
flashquill-cli write one.gb t|two.GBC
flashquill-cli write --no|--no-backup --no-check --no-verify
flashquill-cli write-sram |games/ saves/ three.sav
flashquill-cli read-raw 1|128K 1M
flashquill-cli read-raw 1M n|notes.txt
flashquill-cli read-raw 1M notes.txt |
flashquill-cli pack -o |games/ one.gb saves/
flashquill-cli info |
flashquill-cli ports --set |
CASES

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "fish completion: every case offered what it should"
