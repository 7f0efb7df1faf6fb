// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Version.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "core/support/BuildVersion.h"

bool GetVersionNumbers(const std::string& FileName, int& Major, int& Minor, int& Release, int& Build) {
  if (!FileName.empty()) {
    std::error_code Error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(FileName), Error)) return false;
  }
  Major = BuildVersionMajor;
  Minor = BuildVersionMinor;
  Release = BuildVersionRelease;
  Build = BuildVersionBuild;
  return true;
}

std::string VersionText(const std::string& Program) {
  return Program + " " + std::to_string(BuildVersionMajor) + "." + std::to_string(BuildVersionMinor) + "." +
         std::to_string(BuildVersionRelease) + "." + std::to_string(BuildVersionBuild) +
         "\n"
         "Copyright (C) 2026 the Flashquill developers\n"
         "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}
