// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Resources.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/FrontEnd.h"

const char* const ResourceErrorCaption = "\xE8\xB5\x84\xE6\xBA\x90\xE9\x94\x99\xE8\xAF\xAF";
const char* const ResourceErrorText = "\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0\xE8\xB5\x84\xE6\xBA\x90\xE6\x95\xB0\xE6\x8D\xAE\xEF\xBC\x81";

namespace {

// Built on first use, so no constructor runs before main.
std::vector<TResourceTable>& RegisteredTables() {
  static std::vector<TResourceTable> Tables;
  return Tables;
}

enum class TWriteResult { Written, NotCreated, CutOff };

TWriteResult WriteWholeFile(const std::string& FileName, const uint8_t* Data, size_t Size) {
  std::FILE* File = std::fopen(FileName.c_str(), "wb");
  if (!File) return TWriteResult::NotCreated;
  const bool Written = Size == 0 || std::fwrite(Data, 1, Size, File) == Size;
  const bool Closed = std::fclose(File) == 0;
  return Written && Closed ? TWriteResult::Written : TWriteResult::CutOff;
}

}  // namespace

void RegisterResources(const TResourceTable& Table) {
  auto& Tables = RegisteredTables();
  for (const TResourceTable& Known : Tables)
    if (Known.Entries == Table.Entries && Known.Count == Table.Count) return;
  Tables.push_back(Table);
}

void ClearRegisteredResources() { RegisteredTables().clear(); }

const TResourceEntry* FindEmbeddedResource(const TResourceTable& Table, const std::string& Name, const std::string& Type) {
  for (size_t I = 0; I < Table.Count; ++I) {
    const TResourceEntry& Entry = Table.Entries[I];
    if (Name == Entry.Name && Type == Entry.Type) return &Entry;
  }
  return nullptr;
}

const TResourceEntry* FindEmbeddedResource(const std::string& Name, const std::string& Type) {
  for (const TResourceTable& Table : RegisteredTables())
    if (const TResourceEntry* Entry = FindEmbeddedResource(Table, Name, Type)) return Entry;
  return nullptr;
}

namespace {

bool Extract(TFrontEnd& FrontEnd, const TResourceEntry* Entry, const std::string& Name, const std::string& Type,
             const std::string& FileName) {
  if (!Entry) return false;
  const TWriteResult Result = WriteWholeFile(FileName, Entry->Data, Entry->Size);
  if (Result != TWriteResult::Written) {
    // A cut-off copy must not pass for the resource: the caller's own open
    // of the file is what reports the failure.
    // Only a plain file is removed: a device or anything else that took the
    // open is not ours to delete.
    std::error_code Error;
    const std::filesystem::path Path(FileName);
    if (Result == TWriteResult::CutOff && std::filesystem::is_regular_file(std::filesystem::symlink_status(Path, Error)))
      std::filesystem::remove(Path, Error);
    FrontEnd.ShowMessageBox(std::string(ResourceErrorText) + "\r\n" + Name + "/" + Type, ResourceErrorCaption,
                            MB_FLAGS_ERROR);
  }
  return true;
}

}  // namespace

bool ExtractResourceToFile(TFrontEnd& FrontEnd, const std::string& Name, const std::string& Type,
                           const std::string& FileName) {
  return Extract(FrontEnd, FindEmbeddedResource(Name, Type), Name, Type, FileName);
}

bool ExtractResourceToFile(TFrontEnd& FrontEnd, const TResourceTable& Table, const std::string& Name,
                           const std::string& Type, const std::string& FileName) {
  return Extract(FrontEnd, FindEmbeddedResource(Table, Name, Type), Name, Type, FileName);
}
