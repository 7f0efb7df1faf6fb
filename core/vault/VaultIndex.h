// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "core/vault/VaultEntry.h"

// The vault's index as text: a first line naming the format, then one line
// per backup, oldest first, fields apart by tabs:
//   FILE  TIME  SIZE  SHA1  PAGE  BEFORE  TITLES
// TITLES are their count, then each title after a "|"; in every field a byte below 0x20, 0x7F,
// "%", "|" and tab are written as "%XX", so any title a header holds comes
// back as it was. A line that does not parse is left out.
std::string FormatVaultIndex(const std::vector<TVaultEntry>& Entries);
std::vector<TVaultEntry> ParseVaultIndex(const std::string& Text);

constexpr const char* VaultIndexHeading = "flashquill save vault 1";
