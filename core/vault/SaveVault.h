// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/vault/VaultEntry.h"

// How many backups the vault keeps before it drops the oldest. A backup is
// 128 KiB, so 64 of them are 8 MiB, the size of the card's whole flash: a
// year of weekly pack changes, at a cost no disk notices. A backup equal to
// the latest one is not stored again, so 64 are 64 different saves.
constexpr size_t SaveVaultLimit = 64;

// What Store did.
struct TVaultStore {
  bool Added = false;                 // a new file; false: the latest backup holds these bytes already
  TVaultEntry Entry;                  // the new backup, or the latest one that holds the same bytes
  std::string Path;                   // its file
  std::vector<std::string> Dropped;   // files of the oldest backups removed to stay within the limit
};

// The save RAM backups, one file each in the folder "backups" of the data
// folder, and their index beside it ("backups.index"). Every file goes in
// through a temporary that is renamed over its name when whole, so neither
// a backup nor the index is ever left half written.
class TSaveVault {
public:
  explicit TSaveVault(std::string Folder = DefaultFolder(), size_t Limit = SaveVaultLimit);

  static std::string DefaultFolder();
  const std::string& Folder() const { return FFolder; }
  std::string IndexFile() const;
  std::string PathOf(const TVaultEntry& Entry) const;
  size_t Limit() const { return FLimit; }

  // The backups, oldest first: those of the index whose file is still
  // there, and backup files the index does not know of (from an older
  // program, or an index lost) with their hash computed and the file's time.
  std::vector<TVaultEntry> Entries() const;

  // Keeps Bytes as a new backup, unless the latest backup holds the same
  // bytes (and its file still does); drops the oldest beyond the limit.
  // Keep names a backup that must not be dropped (the one about to be
  // written back). Time: seconds since 1970; 0 for now. False, with Error
  // ("FILE: reason") and nothing changed, when the file or the index cannot
  // be written.
  bool Store(const std::vector<uint8_t>& Bytes, const std::vector<std::string>& Titles, int Page,
             const std::string& Before, TVaultStore& Result, std::string& Error, int64_t Time = 0,
             const std::string& Keep = std::string());

  // A backup by its number as Entries lists them newest first (1 is the
  // latest), or by its file name in the vault. Empty with Error when there
  // is none such.
  std::optional<TVaultEntry> Find(const std::string& What, std::string& Error) const;

  // True when the file still holds what the index says; else Error says how it differs.
  bool Intact(const TVaultEntry& Entry, std::string& Error) const;

private:
  bool WriteIndex(const std::vector<TVaultEntry>& Entries, std::string& Error) const;

  std::string FFolder;
  size_t FLimit;
};
