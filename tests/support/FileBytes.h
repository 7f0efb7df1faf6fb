// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A whole file's bytes (none for a file that cannot be read), and a file
// made or replaced with exactly these bytes.
inline std::vector<uint8_t> ReadBytes(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}
