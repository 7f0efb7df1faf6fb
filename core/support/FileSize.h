// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// The size of an open file; its position is left where it was. Sizes are
// 64-bit here, so files of 4 GiB and more report their true size. -1 when
// the handle cannot be positioned.
int64_t FileSizeOfHandle(std::FILE* File);
// How FileSizeOf reads the last part of a name.
enum class TNameMatch {
  Exact,       // the name as it stands: "g?.gb" is the file of that name
  Wildcards,   // * and ? match any run of characters and any one character
};

// The size of the regular file Name, or -1 when there is none (folders do
// not count). Real file names may hold * and ?, so the name is taken as it
// stands unless the caller asks for Wildcards: then the last part of Name is
// a pattern and the first regular file that matches, in name order, gives
// the size.
int64_t FileSizeOf(const std::string& Name, TNameMatch Match = TNameMatch::Exact);
