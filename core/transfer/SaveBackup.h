// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/transfer/TransferOutcome.h"
#include "core/vault/SaveVault.h"

class TLink;

// Panel 1 once the save RAM is read for its backup (not "Read complete.":
// no read of the user's was done).
constexpr const char* SaveBackupDoneText = "Backup complete.";

// The save RAM as it is, kept in the vault before anything may overwrite it
// or leave it belonging to games no longer on the card: every game of a page
// shares the one save RAM, and the card's copy of a save cannot be had back
// otherwise.

struct TSaveBackupRequest {
  // The operation it is taken before: "write", "write-raw", "write-sram",
  // "format", "test-sram", "test-rom", "restore".
  std::string Before;
  // The titles of the selected page's games as the front end lists them;
  // without them the page is listed first.
  std::optional<std::vector<std::string>> Titles;
  TSaveVault* Vault = nullptr;   // null: the data folder's own
  std::string Keep;              // a backup file the vault must not drop now (one being written back)
};

struct TSaveBackupResult {
  bool Made = false;        // the save is in the vault (a new file, or the latest one when unchanged)
  bool Added = false;       // a new file was made
  std::string File;         // the backup holding the save ("" when none)
  TVaultEntry Entry;
  std::vector<std::string> Dropped;   // the oldest backups removed to keep the limit
  // How the read of the save RAM ended; FileFailed when the vault could not
  // keep it (Detail then names the file and the system's reason).
  TTransferOutcome Read;
  // One line for the user: what failed and why.
  std::string Error;
};

// Reads the whole save RAM (131072 bytes, bare offsets) and stores it in the
// vault. True when the save is kept. A failure is said by the result alone:
// panel 1 keeps the read's own text, Operating is cleared.
bool BackupSaveRam(TLink& Link, const TSaveBackupRequest& Request, TSaveBackupResult& Result);

// "Save backup failed (REASON): nothing was written." and the like.
std::string SaveBackupFailureText(const TSaveBackupResult& Result);
