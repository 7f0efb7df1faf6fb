#include "core/support/Version.h"

#include <filesystem>
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
