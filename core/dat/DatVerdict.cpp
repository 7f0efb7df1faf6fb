// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/dat/DatVerdict.h"

#include <algorithm>
#include <cctype>

std::string TDatVerdict::Text() const {
  switch (Match) {
    case TDatMatch::Verified: return "verified: " + Entry->Game;
    case TDatMatch::Differs: return "differs from " + Entry->Game + ": bad dump?";
    default: return "not in the DAT";
  }
}

const char* TDatVerdict::Word() const {
  switch (Match) {
    case TDatMatch::Verified: return "verified";
    case TDatMatch::Differs: return "differs";
    default: return "unknown";
  }
}

TDatVerdict JudgeDump(const TDatFile& Dat, const TGameHashes& Hashes, const std::string& Title) {
  TDatVerdict Verdict;
  if (const TDatEntry* Entry = Dat.FindExact(Hashes)) {
    Verdict.Match = TDatMatch::Verified;
    Verdict.Entry = Entry;
    return Verdict;
  }
  const std::vector<const TDatEntry*> Near = Dat.FindByTitle(Title, Hashes.Size);
  if (!Near.empty()) {
    Verdict.Match = TDatMatch::Differs;
    Verdict.Entry = Near.front();
  }
  return Verdict;
}

std::string DatBackupName(const TDatEntry& Entry) {
  std::string Name;
  for (unsigned char C : Entry.Rom.empty() ? Entry.Game : Entry.Rom) {
    const bool Bad = C < 0x20 || C == 0x7F || std::string_view("<>:\"/\\|?*").find(static_cast<char>(C)) !=
                                                   std::string_view::npos;
    Name += Bad ? '_' : static_cast<char>(C);
  }
  while (!Name.empty() && (Name.back() == '.' || Name.back() == ' ')) Name.pop_back();
  // Leading dots would hide the file, or name the folder itself.
  while (!Name.empty() && Name.front() == '.') Name.erase(Name.begin());
  if (Name.empty()) Name = "Untitled";
  std::string Lower = Name;
  std::transform(Lower.begin(), Lower.end(), Lower.begin(), [](unsigned char C) { return std::tolower(C); });
  const auto EndsWith = [&Lower](const char* Suffix) {
    const std::string_view S(Suffix);
    return Lower.size() > S.size() && Lower.compare(Lower.size() - S.size(), S.size(), S) == 0;
  };
  if (!EndsWith(".gb") && !EndsWith(".gbc") && !EndsWith(".sgb")) Name += ".gb";
  return Name;
}
