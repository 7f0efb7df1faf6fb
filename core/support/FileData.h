// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Reads a file, or its first Count bytes, into a new buffer that the caller
// owns. Count -1 on entry means the whole file. On return Count holds the
// bytes read and the buffer has a 0 byte behind them. No buffer when the
// file cannot be opened (Count -1), when nothing was read (Count 0), or when
// Count is below -1 or too large to hold (Count -1).
std::unique_ptr<uint8_t[]> ReadFileData(const std::string& Name, int64_t& Count);

// Opens a file only to read it, leaving it open to every other user.
std::FILE* OpenFileShared(const std::string& Name);
