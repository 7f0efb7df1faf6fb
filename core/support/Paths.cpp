// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Paths.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::string AddBackslash(const std::string& Path) {
  if (Path.empty() || Path.back() == PathDelimiter) return Path;
  return Path + PathDelimiter;
}

std::string TempDirectory() {
  std::error_code Error;
  const fs::path Folder = fs::temp_directory_path(Error);
  if (Error || Folder.empty()) return std::string();
  return AddBackslash(Folder.string());
}

namespace {

// Creates Name only if nothing of that name exists yet.
bool CreateNewFile(const std::string& Name, bool& Exists) {
#ifdef _WIN32
  const int Fd = _open(Name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  Exists = Fd < 0 && errno == EEXIST;
  if (Fd < 0) return false;
  _close(Fd);
#else
  const int Fd = open(Name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  Exists = Fd < 0 && errno == EEXIST;
  if (Fd < 0) return false;
  close(Fd);
#endif
  return true;
}

}  // namespace

std::string UniqueFileIn(const std::string& Folder) {
  if (Folder.empty()) return std::string();
  const std::string Prefix = AddBackslash(Folder);
  // Start at a random number and walk on from it, as the system's service
  // does with the clock, until a free name turns up.
  std::random_device Seed;
  uint32_t Number = static_cast<uint32_t>(Seed());
  for (int Attempt = 0; Attempt < 65536; ++Attempt, ++Number) {
    char Name[16];
    std::snprintf(Name, sizeof Name, "%08X.tmp", static_cast<unsigned>(Number));
    bool Exists = false;
    const std::string Full = Prefix + Name;
    if (CreateNewFile(Full, Exists)) return Full;
    if (!Exists) return std::string();   // the folder itself is unusable
  }
  return std::string();
}

std::string TempFileName() {
  const std::string Name = UniqueFileIn(TempDirectory());
  if (Name.empty()) return Name;
  std::error_code Error;
  fs::remove(fs::path(Name), Error);
  return Name;
}
