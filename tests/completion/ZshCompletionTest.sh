#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# flashquill-cli's zsh completion: zsh reads it without a fault, and zsh's
# completion system, given the folder it is installed in, finds it for
# flashquill-cli by its #compdef line.
#   ZshCompletionTest.sh COMPLETION_FILE
set -uo pipefail
script="$1"
command -v zsh >/dev/null || { echo "zsh is not installed: skipped"; exit 77; }
zsh -n "$script" || { echo "zsh finds the script malformed"; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$script" "$scratch/_flashquill-cli"
found="$(HOME="$scratch" zsh -f -c "fpath=('$scratch' \$fpath); autoload -Uz compinit; compinit -u -d '$scratch/dump'; print -r -- \$_comps[flashquill-cli]")"
[ "$found" = "_flashquill-cli" ] || { echo "zsh's completion system does not find it (got '$found')"; exit 1; }
echo "zsh completion: read and found for flashquill-cli"
