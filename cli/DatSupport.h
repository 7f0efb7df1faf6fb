// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/JsonOutcome.h"
#include "core/card/CardScan.h"
#include "core/dat/DatFile.h"
#include "core/dat/GameHashes.h"

class TCliSession;

// --dat FILE for the commands that take one: the DAT loaded (null when none
// was given), what was left out of it said on standard error. False, with
// the reason said, when a DAT was given but cannot be used.
bool LoadDatArgument(TCliSession& Session, const TCommandArgs& Args, std::unique_ptr<TDatFile>& Dat);

// A game of the card listing read into memory and hashed; false (said by
// the link, or stopped) when it could not be read whole.
bool HashCardGame(TCliSession& Session, const TCardRow& Row, TGameHashes& Hashes, std::vector<uint8_t>* Bytes = nullptr);

// The line said of a dump: the DAT's verdict, or without a DAT its CRC32
// and SHA-1 for a comparison by hand ("crc32 0a1b2c3d  sha1 ...").
std::string DumpLine(const TDatFile* Dat, const TGameHashes& Hashes, const std::string& Title);

// After a backup of a card game reached Target: prints Target and its
// verdict (or hashes) on standard output. With Rename, a verified backup
// takes its DAT entry's name in the same folder (a file already there is
// replaced only after the question). Returns where the backup is now.
std::string JudgeBackup(TCliSession& Session, const TDatFile* Dat, const std::string& Target, const std::string& Title,
                        bool Rename);

struct TDatVerdict;
// What the DAT says of a dump, as JSON fields: "dat" (the verdict's word)
// and "dat_name" (its entry's name, null for none).
TJson DatFacts(const TDatVerdict& Verdict);

// list --dat: reads every row's game and gives, per row, the verdict text
// and its JSON fields. False when a read ended early (stopped, or said by
// the link).
bool JudgeCardRows(TCliSession& Session, const TDatFile& Dat, const TCardRowVector& Rows,
                   std::vector<std::string>& Verdicts, std::vector<TJson>& JsonFields);
