// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "core/dat/DatFile.h"
#include "core/dat/GameHashes.h"

// What a DAT file says of one dump.
enum class TDatMatch {
  Verified,   // size, CRC32 and SHA-1 equal those of an entry
  Differs,    // an entry of this title and size exists, but its hashes differ
  Unknown,    // nothing of this title and size is listed
};

struct TDatVerdict {
  TDatMatch Match = TDatMatch::Unknown;
  const TDatEntry* Entry = nullptr;   // Verified, Differs: the entry meant
  // "verified: NAME", "differs from NAME: bad dump?", "not in the DAT".
  std::string Text() const;
  // "verified", "differs", "unknown": for --json.
  const char* Word() const;
};

// Title: the dump's header title (raw bytes), used only when no entry
// carries the hashes.
TDatVerdict JudgeDump(const TDatFile& Dat, const TGameHashes& Hashes, const std::string& Title);

// The file name a verified backup takes: the entry's rom name with every
// character a file name cannot hold on either platform made "_", trailing
// dots and blanks dropped, ".gb" added when it has no extension of a game.
std::string DatBackupName(const TDatEntry& Entry);
