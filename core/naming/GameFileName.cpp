#include "core/naming/GameFileName.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

// Names Windows keeps for devices, whatever extension follows them.
constexpr std::array<std::string_view, 22> DeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool IsDeviceName(const std::string& Name) {
  const std::string_view Stem = std::string_view(Name).substr(0, Name.find('.'));
  for (std::string_view Device : DeviceNames) {
    if (Stem.size() != Device.size()) continue;
    bool Same = true;
    for (size_t I = 0; I < Stem.size() && Same; ++I)
      Same = std::toupper(static_cast<unsigned char>(Stem[I])) == Device[I];
    if (Same) return true;
  }
  return false;
}

void AppendCharacter(std::string& Name, unsigned char Byte) {
  if (Byte < 0x20 || Byte == 0x7F || std::strchr("<>:\"/\\|?*", Byte)) {
    Name += '_';
  } else if (Byte < 0x80) {
    Name += static_cast<char>(Byte);
  } else {
#ifdef _WIN32
    Name += static_cast<char>(Byte);
#else
    // Latin-1's second control block has no printable form either.
    if (Byte < 0xA0) {
      Name += '_';
    } else {
      Name += static_cast<char>(0xC0 | (Byte >> 6));
      Name += static_cast<char>(0x80 | (Byte & 0x3F));
    }
#endif
  }
}

}  // namespace

std::string GameFileName(const std::string& Title, const std::string& Extension) {
  std::string Name;
  for (char C : Title) AppendCharacter(Name, static_cast<unsigned char>(C));
  // Windows drops trailing dots and blanks itself, so "A." and "A" would be
  // one file there; "." and ".." are no names at all.
  while (!Name.empty() && (Name.back() == '.' || Name.back() == ' ')) Name.pop_back();
  if (Name.empty()) Name = GameFileFallbackName;
  if (IsDeviceName(Name)) Name.insert(Name.begin(), '_');
  return Name + Extension;
}

namespace {

std::string Folded(const std::string& Name) {
  std::string Out = Name;
  for (char& C : Out) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Out;
}

}  // namespace

std::vector<std::string> GameFileNames(const std::vector<std::string>& Titles, const std::string& Extension) {
  std::vector<std::string> Names;
  std::vector<std::string> Taken;   // folded
  const auto IsTaken = [&Taken](const std::string& Name) {
    const std::string Key = Folded(Name);
    for (const std::string& Used : Taken)
      if (Used == Key) return true;
    return false;
  };
  for (const std::string& Title : Titles) {
    const std::string Plain = GameFileName(Title, Extension);
    std::string Name = Plain;
    const std::string Stem = Plain.substr(0, Plain.size() - Extension.size());
    for (int Number = 2; IsTaken(Name); ++Number) Name = Stem + " (" + std::to_string(Number) + ")" + Extension;
    Taken.push_back(Folded(Name));
    Names.push_back(Name);
  }
  return Names;
}
