// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/vault/VaultName.h"

#include <ctime>

#include "core/naming/GameFileName.h"

namespace {

std::tm LocalTime(int64_t Time) {
  const std::time_t When = static_cast<std::time_t>(Time);
  std::tm Local{};
#ifdef _WIN32
  localtime_s(&Local, &When);
#else
  localtime_r(&When, &Local);
#endif
  return Local;
}

std::string Stamp(int64_t Time, const char* Format) {
  const std::tm Local = LocalTime(Time);
  char Text[40];
  std::strftime(Text, sizeof Text, Format, &Local);
  return Text;
}

constexpr size_t TitlesLimit = 80;

}  // namespace

std::string VaultFileName(int64_t Time, const std::vector<std::string>& Titles, int Try) {
  std::string Part;
  for (const std::string& Title : Titles) {
    std::string Name = GameFileName(Title, "");
    for (char& C : Name)
      if (C == ' ') C = '-';
    Part += "_" + Name;
  }
  if (Part.size() > TitlesLimit) {
    // Cut on a character's first byte, so no UTF-8 sequence is left half.
    size_t Cut = TitlesLimit;
    while (Cut > 0 && (static_cast<unsigned char>(Part[Cut]) & 0xC0) == 0x80) --Cut;
    Part.resize(Cut);
    while (!Part.empty() && (Part.back() == '.' || Part.back() == '-')) Part.pop_back();
  }
  return "sram-" + Stamp(Time, "%Y%m%d-%H%M%S") + Part + (Try > 1 ? "-" + std::to_string(Try) : "") + ".sav";
}

std::string VaultTimeText(int64_t Time) { return Stamp(Time, "%Y-%m-%d %H:%M:%S"); }
