// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// A folder of its own for one test (or one test program), removed with
// everything in it afterwards, also where the test took its permissions
// away. It is made with mkdtemp: private to this user, under a name no other
// program holds. Valid() is false, and the path empty, only when no folder
// could be made.
class TTempFolder {
public:
  explicit TTempFolder(const std::string& Prefix = "fq-test") {
    std::string Pattern = (std::filesystem::temp_directory_path() / (Prefix + "-XXXXXX")).string();
    if (::mkdtemp(Pattern.data())) FPath = Pattern;
  }
  ~TTempFolder() {
    if (FPath.empty()) return;
    std::error_code Error;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, Error);
    std::filesystem::remove_all(FPath, Error);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  bool Valid() const { return !FPath.empty(); }
  const std::filesystem::path& Path() const { return FPath; }
  std::string Text() const { return FPath.string(); }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }
  std::string operator/(const std::string& Name) const { return File(Name); }
  std::string Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const {
    const std::string Full = File(Name);
    std::ofstream Out(Full, std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    return Full;
  }

private:
  std::filesystem::path FPath;
};
