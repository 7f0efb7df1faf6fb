// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/support/Paths.h"

std::string ProgramDataFolder() {
#ifdef _WIN32
  return "C:\\";
#else
  namespace fs = std::filesystem;
  fs::path Folder;
  // A relative XDG_DATA_HOME is ignored, the same as an unset one.
  if (const char* Xdg = std::getenv("XDG_DATA_HOME"); Xdg && *Xdg && fs::path(Xdg).is_absolute()) {
    Folder = fs::path(Xdg) / "flashquill";
  } else {
    const char* Home = std::getenv("HOME");
    Folder = fs::path(Home && *Home ? Home : ".") / ".local" / "share" / "flashquill";
  }
  std::error_code Ignored;
  fs::create_directories(Folder, Ignored);
  return AddBackslash(Folder.string());
#endif
}
