// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdlib>
#include <string>

// The program's data folder (factory read-backs, save backups) moved into a
// test's own folder for as long as this lives.
class TDataHome {
public:
  explicit TDataHome(const std::string& Folder) {
    const char* Old = std::getenv("XDG_DATA_HOME");
    FHad = Old != nullptr;
    FOld = Old ? Old : "";
    setenv("XDG_DATA_HOME", Folder.c_str(), 1);
  }
  ~TDataHome() {
    if (FHad)
      setenv("XDG_DATA_HOME", FOld.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }
  TDataHome(const TDataHome&) = delete;
  TDataHome& operator=(const TDataHome&) = delete;

private:
  bool FHad = false;
  std::string FOld;
};
