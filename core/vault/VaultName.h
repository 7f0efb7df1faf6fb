// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The file name of a backup taken at Time (seconds since 1970, shown in
// local time) while the page held Titles:
//   sram-YYYYMMDD-HHMMSS_TITLE_TITLE.sav
// each title as a game file would be named (characters a file name cannot
// hold become "_"), blanks as "-", the titles part cut at 80 characters;
// with no titles just "sram-YYYYMMDD-HHMMSS.sav". Try 2, 3, ... adds "-2",
// "-3", ... before ".sav", for a name already taken.
std::string VaultFileName(int64_t Time, const std::vector<std::string>& Titles, int Try = 1);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string VaultTimeText(int64_t Time);
