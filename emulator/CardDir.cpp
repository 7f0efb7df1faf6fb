// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/CardDir.h"

#include <cstdlib>
#include <filesystem>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

const char* NonEmpty(const char* Value) { return Value && *Value ? Value : nullptr; }

#ifdef _WIN32
// The user's own local application data, where programs keep what is theirs.
std::filesystem::path DataDir() {
  if (const char* Local = NonEmpty(std::getenv("LOCALAPPDATA"))) return Local;
  if (const char* Profile = NonEmpty(std::getenv("USERPROFILE")))
    return std::filesystem::path(Profile) / "AppData" / "Local";
  return ".";
}
#else
std::string HomeDir() {
  if (const char* Home = NonEmpty(std::getenv("HOME"))) return Home;
  if (const passwd* User = ::getpwuid(::getuid()); User && User->pw_dir) return User->pw_dir;
  return ".";
}

std::filesystem::path DataDir() {
  // A relative XDG_DATA_HOME is to be ignored, the same as an unset one.
  if (const char* Xdg = NonEmpty(std::getenv("XDG_DATA_HOME")); Xdg && std::filesystem::path(Xdg).is_absolute())
    return Xdg;
  return std::filesystem::path(HomeDir()) / ".local" / "share";
}
#endif

}  // namespace

std::string DefaultCardDir() { return (DataDir() / "flashquill" / "card").string(); }
