#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The USB test machine's kernel (Debian's package, fetched with apt-get
# download and unpacked into the cache folder, not installed) and its
# initramfs, made ready before the native build so that the ctest over the
# real USB stack (tests/usb) only boots it.
set -euo pipefail
scripts/usb-vm/kernel
