// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/CardFile.h"

#include <chrono>
#include <filesystem>
#include <system_error>

std::string CardFileTempPrefix(const std::string& Name) { return Name + ".new-"; }

void RemoveCardFileLeftovers(const std::string& Dir, const std::string& Name) {
  const std::string Prefix = CardFileTempPrefix(Name);
  const auto Now = std::filesystem::file_time_type::clock::now();
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir, Error)) {
    const std::string File = Entry.path().filename().string();
    if (File.rfind(Prefix, 0) != 0 || File.size() != Prefix.size() + 6 || !Entry.is_regular_file(Error)) continue;
    auto Written = Entry.last_write_time(Error);
    if (!Error && Now - Written > std::chrono::minutes(10)) std::filesystem::remove(Entry.path(), Error);
  }
}

std::string CardFileSizeText(const std::string& Path, uint64_t Found, size_t Size) {
  return "The card file " + Path + " has " + std::to_string(Found) + " bytes instead of " + std::to_string(Size) +
         "; it was left as it is. Move it away to start with a new card.";
}
