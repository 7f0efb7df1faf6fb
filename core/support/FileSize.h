#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// The size of an open file; its position is left where it was. Sizes are
// 64-bit here, so files of 4 GiB and more report their true size. -1 when
// the handle cannot be positioned.
int64_t FileSizeOfHandle(std::FILE* File);
// The size of the first regular file that Name matches (the last part of
// Name may hold the wildcards * and ?; matches are taken in name order), or
// -1 when nothing matches. Folders do not count as matches.
int64_t FileSizeOf(const std::string& Name);
