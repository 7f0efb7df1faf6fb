// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/DeleteFile.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

namespace fs = std::filesystem;

namespace {

void SleepOneMillisecond() {
#ifdef _WIN32
  Sleep(1);
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
}

}  // namespace

bool DeleteFileWait(const std::string& Name, int Tries) {
  if (Tries < 0) return false;
  const fs::path Path(Name);
  for (int Round = 0; Round <= Tries; ++Round) {
    std::error_code Error;
    const fs::file_status Status = fs::symlink_status(Path, Error);
    if (!fs::exists(Status)) return true;
    // Only files are deleted; a folder of that name stays and counts as
    // the file not going away.
    if (!fs::is_directory(Status)) fs::remove(Path, Error);
    SleepOneMillisecond();
  }
  return false;
}
