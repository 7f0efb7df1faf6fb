// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/FileData.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <new>

#include "core/support/FileSize.h"

#ifdef _WIN32
#include <share.h>
#endif

std::FILE* OpenFileShared(const std::string& Name) {
  // Some systems open a folder like a file; it is never one to read here.
  std::error_code Error;
  if (std::filesystem::is_directory(std::filesystem::path(Name), Error)) return nullptr;
#ifdef _WIN32
  return _fsopen(Name.c_str(), "rb", _SH_DENYNO);
#else
  return std::fopen(Name.c_str(), "rb");
#endif
}

std::unique_ptr<uint8_t[]> ReadFileData(const std::string& Name, int64_t& Count) {
  if (Count < -1) {
    Count = -1;
    return nullptr;
  }
  std::FILE* File = OpenFileShared(Name);
  if (!File) {
    Count = -1;
    return nullptr;
  }
  if (Count == -1) Count = FileSizeOfHandle(File);
  if (Count <= 0) {
    std::fclose(File);
    return nullptr;   // empty file (0), or a size that could not be learned (-1)
  }
  std::unique_ptr<uint8_t[]> Buffer(new (std::nothrow) uint8_t[static_cast<size_t>(Count) + 1]);
  if (!Buffer) {
    std::fclose(File);
    Count = -1;
    return nullptr;
  }
  const size_t Read = std::fread(Buffer.get(), 1, static_cast<size_t>(Count), File);
  const bool Failed = Read == 0 && std::ferror(File);
  std::fclose(File);
  Count = Failed ? -1 : static_cast<int64_t>(Read);
  if (Count <= 0) return nullptr;
  Buffer[static_cast<size_t>(Count)] = 0;
  return Buffer;
}
