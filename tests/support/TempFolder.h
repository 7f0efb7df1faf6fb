// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// A folder of its own for one test, removed again at the end.
class TTempFolder {
public:
  TTempFolder() {
    std::random_device Seed;
    FPath = std::filesystem::temp_directory_path() / ("fq-test-" + std::to_string(Seed()) + std::to_string(Seed()));
    std::filesystem::create_directories(FPath);
  }
  ~TTempFolder() {
    std::error_code Error;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, Error);
    std::filesystem::remove_all(FPath, Error);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }
  std::string Write(const std::string& Name, const std::vector<uint8_t>& Bytes) const {
    const std::string Full = File(Name);
    std::ofstream Out(Full, std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    return Full;
  }

private:
  std::filesystem::path FPath;
};

inline std::vector<uint8_t> Pattern(size_t Size, uint8_t Seed = 1) {
  std::vector<uint8_t> Bytes(Size);
  for (size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 31 + Seed);
  return Bytes;
}
