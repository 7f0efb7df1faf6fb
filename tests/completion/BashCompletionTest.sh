#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# flashquill-cli's bash completion as bash-completion runs it: the generated
# script loaded after bash-completion's helpers, each case's command line put
# into COMP_WORDS as bash would, the completion function called and the words
# it offers compared with the expected ones, in a scratch folder of files.
#   BashCompletionTest.sh COMPLETION_FILE
set -uo pipefail
script="$1"
helpers=/usr/share/bash-completion/bash_completion
[ -r "$helpers" ] || { echo "bash-completion is not installed: skipped"; exit 77; }

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir games saves
touch one.gb two.GBC three.sav notes.txt "with space.gb" games/four.gb saves/old.SAV

# shellcheck disable=SC1090
source "$helpers"
source "$script"
# compopt works only inside a completion bash itself started.
compopt() { :; }

# The words offered for LINE (completed at its end), sorted, on one line.
offered() {
  local line="$1"
  COMP_LINE="$line"
  COMP_POINT=${#line}
  # bash splits at COMP_WORDBREAKS; a line ending in a blank completes an empty word.
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _flashquill_cli flashquill-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}

failures=0
# line | the words offered (sorted, space-separated; folders end in /)
while IFS='|' read -r line expected; do
  [ -z "$line" ] && continue
  got="$(offered "$line")"
  if [ "$got" != "$expected" ]; then
    echo "FAILED: '$line'"
    echo "  expected: '$expected'"
    echo "  offered:  '$got'"
    failures=$((failures + 1))
  fi
done <<'CASES'
flashquill-cli wr|write write-raw write-sram
flashquill-cli read-|read-raw read-sram
flashquill-cli --page=1 fo|format
flashquill-cli --emulate=games li|list
flashquill-cli he|header help
flashquill-cli check|check check-link
flashquill-cli help wr|write write-raw write-sram
flashquill-cli --pa|--page=
flashquill-cli --page=|1 2
flashquill-cli --ver|--version
flashquill-cli --emulate|--emulate --emulate-flip --emulate-flip= --emulate-timing --emulate-timing= --emulate-unplug-after= --emulate-weak-cell= --emulate=
flashquill-cli --emulate=|games saves
flashquill-cli --trace=n|notes.txt
flashquill-cli write |games one.gb saves two.GBC with space.gb
flashquill-cli write one.gb t|two.GBC
flashquill-cli write --|--emulate --emulate-flip --emulate-flip= --emulate-timing --emulate-timing= --emulate-unplug-after= --emulate-weak-cell= --emulate= --fix-header --force --help --json --no-backup --no-check --no-verify --page= --resume --trace= --usb= --verify --version --writes-in-flight= --yes
flashquill-cli write -- |games one.gb saves two.GBC with space.gb
flashquill-cli write-sram |games saves three.sav
flashquill-cli read-sram s|saves
flashquill-cli test-sram |games saves three.sav
flashquill-cli test-rom o|one.gb
flashquill-cli read-raw |128K 1M 256K 2M 32K 4M 512K 64K 8M
flashquill-cli read-raw 1|128K 1M
flashquill-cli read-raw 1M n|notes.txt
flashquill-cli read-raw 1M notes.txt |
flashquill-cli pack one.gb -o |games one.gb saves with space.gb
flashquill-cli pack -o x.gb t|two.GBC
flashquill-cli read 1 -o n|notes.txt
flashquill-cli read 1 2 |
flashquill-cli info |
flashquill-cli ports --set |
flashquill-cli ports --s|--set
flashquill-cli list --j|--json
flashquill-cli bogus |
CASES

# A command of the table that the completion does not know would be caught
# by the generator's own tests; here every command must come when nothing is typed.
all="$(offered "flashquill-cli ")"
for command in info list read write read-sram write-sram format read-raw write-raw pack test-rom test-sram ports backups restore help; do
  [[ " $all " == *" $command "* ]] || { echo "FAILED: '$command' is not offered after flashquill-cli"; failures=$((failures + 1)); }
done

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "bash completion: every case offered what it should"
