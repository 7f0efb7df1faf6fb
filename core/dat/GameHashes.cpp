// SPDX-License-Identifier: GPL-3.0-or-later
// CRC32 from zlib, SHA-1 from libgcrypt: kept implementations, so a verdict
// rests on nothing hand-written.
#include "core/dat/GameHashes.h"

#include <gcrypt.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace {

void InitialiseCrypto() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    // Hashes only: no secure memory is needed.
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

// zlib's crc32 takes at most a uInt at a time.
uint32_t Crc32Add(uint32_t Crc, const uint8_t* Data, size_t Size) {
  uLong Value = Crc;
  while (Size > 0) {
    const uInt Piece = Size > 0x40000000u ? 0x40000000u : static_cast<uInt>(Size);
    Value = crc32(Value, Data, Piece);
    Data += Piece;
    Size -= Piece;
  }
  return static_cast<uint32_t>(Value);
}

}  // namespace

TGameHashes HashBytes(const uint8_t* Data, size_t Size) {
  InitialiseCrypto();
  TGameHashes Hashes;
  Hashes.Size = Size;
  Hashes.Crc32 = Crc32Add(0, Data, Size);
  gcry_md_hash_buffer(GCRY_MD_SHA1, Hashes.Sha1.data(), Data, Size);
  return Hashes;
}

bool HashFile(const std::string& FileName, TGameHashes& Hashes, std::string& Error) {
  InitialiseCrypto();
  Hashes = TGameHashes{};
  // A FIFO or a device would block or never end.
  std::error_code Code;
  if (std::filesystem::exists(FileName, Code) && !std::filesystem::is_regular_file(FileName, Code)) {
    Error = FileName + ": not a regular file";
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(std::fopen(FileName.c_str(), "rb"), &std::fclose);
  if (!File) {
    Error = FileName + ": cannot be opened (" + std::strerror(errno) + ")";
    return false;
  }
  gcry_md_hd_t Sha1 = nullptr;
  if (gcry_md_open(&Sha1, GCRY_MD_SHA1, 0) != 0) {
    Error = FileName + ": no SHA-1 can be computed here";
    return false;
  }
  std::vector<uint8_t> Buffer(1 << 16);
  uint32_t Crc = 0;
  size_t Got = 0;
  while ((Got = std::fread(Buffer.data(), 1, Buffer.size(), File.get())) > 0) {
    Crc = Crc32Add(Crc, Buffer.data(), Got);
    gcry_md_write(Sha1, Buffer.data(), Got);
    Hashes.Size += Got;
  }
  const bool Failed = std::ferror(File.get()) != 0;
  if (!Failed) std::memcpy(Hashes.Sha1.data(), gcry_md_read(Sha1, GCRY_MD_SHA1), Hashes.Sha1.size());
  gcry_md_close(Sha1);
  if (Failed) {
    Error = FileName + ": cannot be read to its end";
    return false;
  }
  Hashes.Crc32 = Crc;
  return true;
}

std::string Crc32Text(uint32_t Crc) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%08x", static_cast<unsigned>(Crc));
  return Text;
}

std::string Sha1Text(const std::array<uint8_t, 20>& Sha1) {
  static const char Digits[] = "0123456789abcdef";
  std::string Text;
  for (uint8_t Byte : Sha1) {
    Text += Digits[Byte >> 4];
    Text += Digits[Byte & 15];
  }
  return Text;
}
