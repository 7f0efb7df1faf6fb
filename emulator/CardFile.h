// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// One card file (the flash or the save RAM of a card kept on disk), mapped
// for reading and writing so that every change lands in the file as it is
// made. A missing file is created whole, filled with Fill, or not at all.
// A file of another size is refused and left as it is.
class TCardFile {
public:
  // Throws std::runtime_error with a text naming the file and the reason.
  TCardFile(const std::string& Dir, const std::string& Name, size_t Size, uint8_t Fill);
  ~TCardFile();
  TCardFile(const TCardFile&) = delete;
  TCardFile& operator=(const TCardFile&) = delete;

  uint8_t* Bytes() const { return FBytes; }
  void Sync();   // down to the disk

private:
  uint8_t* FBytes = nullptr;
  size_t FSize = 0;
  void* FFile = nullptr;   // Windows: the open file, for flushing it
};

// A program killed while it created a card file leaves the unfinished file
// under its temporary name, Name + ".new-" and six characters. Such leftovers
// are removed once they are old enough that no other program can still be
// filling them.
void RemoveCardFileLeftovers(const std::string& Dir, const std::string& Name);
std::string CardFileTempPrefix(const std::string& Name);

// The texts of a refused card file.
std::string CardFileSizeText(const std::string& Path, uint64_t Found, size_t Size);
