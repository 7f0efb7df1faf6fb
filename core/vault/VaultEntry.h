// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One backup of the save RAM in the vault.
struct TVaultEntry {
  std::string File;                  // its name in the vault folder
  int64_t Time = 0;                  // when it was taken, seconds since 1970 (UTC)
  uint64_t Size = 0;                 // bytes
  std::string Sha1;                  // 40 lower-case hexadecimal digits
  int Page = 0;                      // the page selected then (1 or 2; 0: not known)
  std::string Before;                // the operation it was taken before ("write", "format", ...)
  std::vector<std::string> Titles;   // the games that page held then (raw header bytes)
  bool TitlesKnown = true;           // false: a file the index did not know of
};
