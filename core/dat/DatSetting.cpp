// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/dat/DatSetting.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/support/DataFolder.h"

std::string DatSettingFile() { return ProgramDataFolder() + "dat-file"; }

std::string LoadDatSetting() {
  std::ifstream In(DatSettingFile(), std::ios::binary);
  std::string Line;
  if (!In || !std::getline(In, Line)) return {};
  if (!Line.empty() && Line.back() == '\r') Line.pop_back();
  return Line;
}

bool SaveDatSetting(const std::string& DatFile) {
  namespace fs = std::filesystem;
  const std::string Target = DatSettingFile();
  std::error_code Error;
  if (DatFile.empty()) {
    fs::remove(Target, Error);
    return !Error;
  }
  // Written beside and renamed over, so a full disk never leaves half a path.
  const std::string Part = Target + ".part";
  {
    std::ofstream Out(Part, std::ios::binary | std::ios::trunc);
    Out << DatFile << "\n";
    Out.close();
    if (!Out) {
      fs::remove(Part, Error);
      return false;
    }
  }
  fs::rename(Part, Target, Error);
  if (Error) fs::remove(Part, Error);
  return !Error;
}
