#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file git knows names its licence by its SPDX identifier
# (scripts/spdx-headers adds the ones missing).
set -euo pipefail
cd "$(dirname "$0")/../.."
python3 scripts/spdx-headers --check
echo "spdx: every source file has its licence identifier"
