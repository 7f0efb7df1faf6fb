// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/vault/SaveVault.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/dat/GameHashes.h"
#include "core/support/DataFolder.h"
#include "core/support/FileData.h"
#include "core/support/ReplaceFile.h"
#include "core/vault/VaultIndex.h"
#include "core/vault/VaultName.h"

namespace fs = std::filesystem;

namespace {

int64_t NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

bool StartsWith(const std::string& Text, const char* Prefix) { return Text.rfind(Prefix, 0) == 0; }
bool EndsWith(const std::string& Text, const char* Suffix) {
  const std::string End = Suffix;
  return Text.size() >= End.size() && Text.compare(Text.size() - End.size(), End.size(), End) == 0;
}

// Any entry at all, a link included: a name the vault must not take.
bool Taken(const fs::path& Path) {
  std::error_code Error;
  return fs::symlink_status(Path, Error).type() != fs::file_type::not_found;
}

// Only a plain file is a backup; a link planted in the vault is not followed.
bool PlainFile(const fs::path& Path) {
  std::error_code Error;
  return fs::symlink_status(Path, Error).type() == fs::file_type::regular;
}

int64_t FileTime(const fs::path& Path) {
  std::error_code Error;
  const auto When = fs::last_write_time(Path, Error);
  if (Error) return 0;
  const auto System = std::chrono::time_point_cast<std::chrono::seconds>(
      When - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
  return static_cast<int64_t>(System.time_since_epoch().count());
}

bool WriteWhole(const std::string& Target, const std::string& Bytes, std::string& Error) {
  TReplaceFile Out(Target);
  if (!Out.Ok() || !Out.Write(Bytes.data(), Bytes.size()) || !Out.Commit()) {
    Error = Target + ": " + (Out.Error().empty() ? std::string("cannot be written") : Out.Error());
    return false;
  }
  return true;
}

}  // namespace

TSaveVault::TSaveVault(std::string Folder, size_t Limit)
    : FFolder(std::move(Folder)), FLimit(Limit < 1 ? 1 : Limit) {
  while (FFolder.size() > 1 && (FFolder.back() == '/' || FFolder.back() == '\\')) FFolder.pop_back();
}

std::string TSaveVault::DefaultFolder() { return ProgramDataFolder() + "backups"; }

std::string TSaveVault::IndexFile() const { return FFolder + ".index"; }

std::string TSaveVault::PathOf(const TVaultEntry& Entry) const { return (fs::path(FFolder) / Entry.File).string(); }

std::vector<TVaultEntry> TSaveVault::Entries() const {
  std::vector<TVaultEntry> Kept;
  int64_t Count = -1;
  // Only the vault's own index counts: a link planted in its place is not read.
  const auto Data = PlainFile(IndexFile()) ? ReadFileData(IndexFile(), Count) : nullptr;
  std::set<std::string> Known;
  if (Data && Count > 0)
    for (const TVaultEntry& Entry : ParseVaultIndex(std::string(reinterpret_cast<const char*>(Data.get()),
                                                                static_cast<size_t>(Count)))) {
      if (Known.count(Entry.File) || !PlainFile(PathOf(Entry))) continue;
      Known.insert(Entry.File);
      Kept.push_back(Entry);
    }
  // Backups the index does not list.
  std::vector<TVaultEntry> Found;
  std::error_code Error;
  for (fs::directory_iterator It(FFolder, Error), End; !Error && It != End; It.increment(Error)) {
    const std::string Name = It->path().filename().string();
    if (!StartsWith(Name, "sram-") || !EndsWith(Name, ".sav") || Known.count(Name) || !PlainFile(It->path())) continue;
    TGameHashes Hashes;
    std::string Why;
    if (!HashFile(It->path().string(), Hashes, Why)) continue;
    TVaultEntry Entry;
    Entry.File = Name;
    Entry.Time = FileTime(It->path());
    Entry.Size = Hashes.Size;
    Entry.Sha1 = Sha1Text(Hashes.Sha1);
    Entry.TitlesKnown = false;
    Found.push_back(Entry);
  }
  std::sort(Found.begin(), Found.end(), [](const TVaultEntry& A, const TVaultEntry& B) {
    return A.Time != B.Time ? A.Time < B.Time : A.File < B.File;
  });
  // Merged by time; the index's own order holds among its entries.
  std::vector<TVaultEntry> All;
  size_t I = 0, J = 0;
  while (I < Kept.size() || J < Found.size()) {
    if (J == Found.size() || (I < Kept.size() && Kept[I].Time <= Found[J].Time))
      All.push_back(Kept[I++]);
    else
      All.push_back(Found[J++]);
  }
  return All;
}

bool TSaveVault::WriteIndex(const std::vector<TVaultEntry>& Entries, std::string& Error) const {
  // Nor is it written through: the file it points to is no file of the vault's.
  std::error_code Code;
  const fs::file_type Type = fs::symlink_status(IndexFile(), Code).type();
  if (Type != fs::file_type::not_found && Type != fs::file_type::regular) {
    Error = IndexFile() + ": not the vault's index file (a link, a folder or a device); it is left alone";
    return false;
  }
  return WriteWhole(IndexFile(), FormatVaultIndex(Entries), Error);
}

bool TSaveVault::Intact(const TVaultEntry& Entry, std::string& Error) const {
  TGameHashes Hashes;
  if (!PlainFile(PathOf(Entry))) {
    Error = PathOf(Entry) + ": no such backup file";
    return false;
  }
  if (!HashFile(PathOf(Entry), Hashes, Error)) return false;
  if (Hashes.Size != Entry.Size || Sha1Text(Hashes.Sha1) != Entry.Sha1) {
    Error = PathOf(Entry) + ": the file no longer holds the backup the index knows (SHA-1 " + Entry.Sha1 + ")";
    return false;
  }
  return true;
}

bool TSaveVault::Store(const std::vector<uint8_t>& Bytes, const std::vector<std::string>& Titles, int Page,
                       const std::string& Before, TVaultStore& Result, std::string& Error, int64_t Time,
                       const std::string& Keep) {
  Result = TVaultStore{};
  Error.clear();
  std::error_code Code;
  fs::create_directories(FFolder, Code);
  if (!fs::is_directory(FFolder, Code)) {
    Error = FFolder + ": " + (Code ? Code.message() : std::string("no folder, and none can be made there"));
    return false;
  }
  const TGameHashes Hashes = HashBytes(Bytes.data(), Bytes.size());
  const std::string Sha1 = Sha1Text(Hashes.Sha1);
  std::vector<TVaultEntry> All = Entries();
  if (!All.empty() && All.back().Sha1 == Sha1 && All.back().Size == Bytes.size()) {
    std::string Ignored;
    if (Intact(All.back(), Ignored)) {
      Result.Entry = All.back();
      Result.Path = PathOf(All.back());
      return true;
    }
  }

  TVaultEntry Entry;
  Entry.Time = Time ? Time : NowSeconds();
  Entry.Size = Bytes.size();
  Entry.Sha1 = Sha1;
  Entry.Page = Page;
  Entry.Before = Before;
  Entry.Titles = Titles;
  for (int Try = 1; Try < 1000 && Entry.File.empty(); ++Try) {
    const std::string Name = VaultFileName(Entry.Time, Titles, Try);
    if (!Taken(fs::path(FFolder) / Name)) Entry.File = Name;
  }
  if (Entry.File.empty()) {
    Error = FFolder + ": no free name for a backup";
    return false;
  }
  const std::string Path = PathOf(Entry);
  const std::string Whole(reinterpret_cast<const char*>(Bytes.data()), Bytes.size());
  if (!WriteWhole(Path, Whole, Error)) return false;

  All.push_back(Entry);
  // The oldest go first; the new one and the one to keep stay.
  std::vector<TVaultEntry> Dropped;
  for (size_t I = 0; All.size() > FLimit && I + 1 < All.size();) {
    if (!Keep.empty() && All[I].File == fs::path(Keep).filename().string()) {
      ++I;
      continue;
    }
    Dropped.push_back(All[I]);
    All.erase(All.begin() + static_cast<std::ptrdiff_t>(I));
  }
  // The index first: a backup it cannot list is taken back, so what the
  // vault says it holds and what it holds stay one.
  if (!WriteIndex(All, Error)) {
    fs::remove(Path, Code);
    return false;
  }
  for (const TVaultEntry& Old : Dropped) {
    fs::remove(PathOf(Old), Code);
    Result.Dropped.push_back(PathOf(Old));
  }
  Result.Added = true;
  Result.Entry = Entry;
  Result.Path = Path;
  return true;
}

std::optional<TVaultEntry> TSaveVault::Find(const std::string& What, std::string& Error) const {
  const std::vector<TVaultEntry> All = Entries();
  if (!What.empty() && What.size() <= 6 && What.find_first_not_of("0123456789") == std::string::npos) {
    const size_t Number = std::stoul(What);
    if (Number >= 1 && Number <= All.size()) return All[All.size() - Number];
    Error = "no backup " + What + ": the vault holds " + std::to_string(All.size()) + " backup(s)";
    return std::nullopt;
  }
  // A name, or a path to the file in the vault.
  const std::string Name = fs::path(What).filename().string();
  std::error_code Code;
  for (const TVaultEntry& Entry : All) {
    if (Entry.File != Name) continue;
    if (Name == What || fs::equivalent(fs::path(What), fs::path(PathOf(Entry)), Code)) return Entry;
  }
  Error = "no backup named " + What + " in " + FFolder;
  return std::nullopt;
}
