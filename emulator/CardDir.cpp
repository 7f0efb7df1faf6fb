#include "emulator/CardDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::string HomeDir() {
  if (const char* Home = std::getenv("HOME"); Home && *Home) return Home;
  if (const passwd* User = ::getpwuid(::getuid()); User && User->pw_dir) return User->pw_dir;
  return ".";
}

}  // namespace

std::string DefaultCardDir() {
  std::filesystem::path Data;
  // A relative XDG_DATA_HOME is to be ignored, the same as an unset one.
  if (const char* Xdg = std::getenv("XDG_DATA_HOME"); Xdg && *Xdg && std::filesystem::path(Xdg).is_absolute())
    Data = Xdg;
  else
    Data = std::filesystem::path(HomeDir()) / ".local" / "share";
  return (Data / "flashquill" / "card").string();
}
