// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/dat/GameHashes.h"

// One dump a DAT file lists: a rom of a game, with its hashes.
struct TDatEntry {
  std::string Game;   // the game's name, what a verdict names
  std::string Rom;    // the rom's file name ("Name (World).gb")
  uint64_t Size = 0;
  uint32_t Crc32 = 0;
  std::array<uint8_t, 20> Sha1{};
  uint64_t Line = 0;  // where the rom stands in the file
};

// A DAT file of known-good dumps in the XML form that preservation groups
// publish: <datafile>, then <game name="..."> (or <machine>) elements that
// hold <rom name size crc sha1 [md5]/> elements. Loaded whole into memory
// with indexes, so a lookup costs the same for ten entries or 200,000.
class TDatFile {
public:
  // False with Error set (the file's name and the reason) when nothing can
  // be used: no file, not XML, no <datafile>, no usable entry. Entries that
  // cannot be used (a size or hash missing or malformed) and duplicates are
  // left out, each kind said in Warnings.
  bool Load(const std::string& FileName, std::string& Error);

  const std::string& FileName() const { return FFileName; }
  const std::vector<TDatEntry>& Entries() const { return FEntries; }
  const std::vector<std::string>& Warnings() const { return FWarnings; }

  // The entry with these hashes (size, CRC32 and SHA-1 all equal), or null.
  const TDatEntry* FindExact(const TGameHashes& Hashes) const;
  // Entries of this size whose name agrees with a header title, in file order.
  std::vector<const TDatEntry*> FindByTitle(const std::string& Title, uint64_t Size) const;

private:
  friend class TDatBuilder;
  std::string FFileName;
  std::vector<TDatEntry> FEntries;
  std::vector<std::string> FWarnings;
  std::unordered_multimap<uint32_t, size_t> FByCrc;
  std::unordered_multimap<uint64_t, size_t> FBySize;
};

// A header title and a DAT name agree when, in upper-case letters and digits
// only, and with the name's bracketed parts ("(World)", "[b]") taken out, one
// begins with the other: "POKEMON RED" and "Pokemon - Red Version (USA)".
bool TitleMatchesName(const std::string& Title, const std::string& Name);
