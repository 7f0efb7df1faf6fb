// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "core/transfer/TransferOutcome.h"

class TLink;

// The save RAM as it is, kept before anything overwrites it: the card's only
// copy of a save cannot be had back otherwise.

// "sram-YYYYMMDD-HHMMSS.sav" in the folder "backups" of the program's data
// folder, from the local time now; a name already taken gets "-2", "-3", ...
// Empty when the folder cannot be made.
std::string NewSaveBackupName();

// Reads the whole save RAM (131072 bytes) into a new backup file with the
// read engine. True when the backup is complete; File names it either way
// (empty when no name could be had), Outcome says how the read ended. A
// backup that did not complete is deleted, so no half backup is mistaken
// for a whole one.
bool BackupSaveRam(TLink& Link, std::string& File, TTransferOutcome* Outcome = nullptr);
