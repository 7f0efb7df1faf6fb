// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/vault/VaultIndex.h"

#include <cstdlib>
#include <sstream>

namespace {

std::string Escape(const std::string& Text) {
  static const char Digits[] = "0123456789ABCDEF";
  std::string Out;
  for (const char C : Text) {
    const auto Byte = static_cast<unsigned char>(C);
    if (Byte < 0x20 || Byte == 0x7F || C == '%' || C == '|') {
      Out += '%';
      Out += Digits[Byte >> 4];
      Out += Digits[Byte & 15];
    } else {
      Out += C;
    }
  }
  return Out;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& Text, std::string& Out) {
  Out.clear();
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] != '%') {
      Out += Text[I];
      continue;
    }
    if (I + 2 >= Text.size()) return false;
    const int High = HexDigit(Text[I + 1]), Low = HexDigit(Text[I + 2]);
    if (High < 0 || Low < 0) return false;
    Out += static_cast<char>(High * 16 + Low);
    I += 2;
  }
  return true;
}

std::vector<std::string> Split(const std::string& Text, char Separator) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  for (;;) {
    const size_t End = Text.find(Separator, Start);
    Parts.push_back(Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start));
    if (End == std::string::npos) return Parts;
    Start = End + 1;
  }
}

bool Number(const std::string& Text, long long& Value) {
  if (Text.empty() || Text.size() > 19) return false;
  char* End = nullptr;
  Value = std::strtoll(Text.c_str(), &End, 10);
  return End && *End == 0;
}

bool IsSha1(const std::string& Text) {
  if (Text.size() != 40) return false;
  for (const char C : Text)
    if (HexDigit(C) < 0 || (C >= 'A' && C <= 'F')) return false;
  return true;
}

// A name the vault itself would give: no folder part, nothing hidden.
bool PlainName(const std::string& Name) {
  return !Name.empty() && Name[0] != '.' && Name.find_first_of("/\\:") == std::string::npos;
}

}  // namespace

std::string FormatVaultIndex(const std::vector<TVaultEntry>& Entries) {
  std::string Out = std::string(VaultIndexHeading) + "\n";
  for (const TVaultEntry& E : Entries) {
    // The count first, so that one empty title and none stay apart.
    std::string Titles = std::to_string(E.Titles.size());
    for (const std::string& Title : E.Titles) Titles += "|" + Escape(Title);
    Out += Escape(E.File) + "\t" + std::to_string(E.Time) + "\t" + std::to_string(E.Size) + "\t" + E.Sha1 + "\t" +
           std::to_string(E.Page) + "\t" + Escape(E.Before) + "\t" + Titles + "\n";
  }
  return Out;
}

std::vector<TVaultEntry> ParseVaultIndex(const std::string& Text) {
  std::vector<TVaultEntry> Entries;
  std::istringstream In(Text);
  std::string Line;
  if (!std::getline(In, Line) || Line != VaultIndexHeading) return Entries;
  while (std::getline(In, Line)) {
    const std::vector<std::string> Fields = Split(Line, '\t');
    if (Fields.size() != 7) continue;
    TVaultEntry E;
    long long Time = 0, Size = 0, Page = 0;
    if (!Unescape(Fields[0], E.File) || !PlainName(E.File) || !Number(Fields[1], Time) || !Number(Fields[2], Size) ||
        Size < 0 || !IsSha1(Fields[3]) || !Number(Fields[4], Page) || Page < 0 || Page > 2 ||
        !Unescape(Fields[5], E.Before))
      continue;
    E.Time = Time;
    E.Size = static_cast<uint64_t>(Size);
    E.Sha1 = Fields[3];
    E.Page = static_cast<int>(Page);
    const std::vector<std::string> Parts = Split(Fields[6], '|');
    long long Count = -1;
    bool Good = Number(Parts[0], Count) && Count >= 0 && static_cast<size_t>(Count) == Parts.size() - 1;
    for (size_t I = 1; Good && I < Parts.size(); ++I) {
      std::string Title;
      Good = Unescape(Parts[I], Title);
      E.Titles.push_back(Title);
    }
    if (Good) Entries.push_back(E);
  }
  return Entries;
}
