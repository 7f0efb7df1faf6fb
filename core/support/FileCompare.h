// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The index of the first of Count bytes at which A and B differ, or -1.
int64_t FirstDifference(const void* A, const void* B, size_t Count);
// The first Count bytes of A and B are equal.
bool SameBytes(const void* A, const void* B, size_t Count);
// Both files open, have one size and the same bytes. Works in 64 KiB chunks
// with two buffers, whatever the size of the files.
bool CompareFiles(const std::string& A, const std::string& B);
