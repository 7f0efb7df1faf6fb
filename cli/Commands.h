// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "cli/CliOptions.h"

class TCliSession;
struct TCardWriteResult;
struct TSaveBackupResult;

// Each command runs on a session whose transport is set up (pack: not
// needed) and returns the program's exit status.
int RunInfo(TCliSession& Session, const TCommandArgs& Args);
int RunList(TCliSession& Session, const TCommandArgs& Args);
int RunFormat(TCliSession& Session, const TCommandArgs& Args);
int RunRead(TCliSession& Session, const TCommandArgs& Args);
int RunReadSram(TCliSession& Session, const TCommandArgs& Args);
int RunReadRaw(TCliSession& Session, const TCommandArgs& Args);
int RunWrite(TCliSession& Session, const TCommandArgs& Args);
int RunWriteSram(TCliSession& Session, const TCommandArgs& Args);
int RunWriteRaw(TCliSession& Session, const TCommandArgs& Args);
int RunPack(TCliSession& Session, const TCommandArgs& Args);
int RunFactoryTest(TCliSession& Session, const TCommandArgs& Args, bool Sram);
int RunPorts(TCliSession& Session, const TCommandArgs& Args);

// What a write through the safe write left, on standard error: the outcome,
// the report of a write cut short, the backup.
// Flash: a write to the flash, whose cut-short end is best finished with
// --resume.
void SayWriteResult(TCliSession& Session, const TCardWriteResult& Result, bool Flash = false);
// Where the save RAM as it was is kept, and the backups dropped for it.
void SayBackup(TCliSession& Session, const TSaveBackupResult& Backup);

// A wrong command line found by a command itself: one line, status 2.
int UsageError(TCliSession& Session, const std::string& Text);
