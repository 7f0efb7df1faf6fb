// SPDX-License-Identifier: GPL-3.0-or-later
// Card files on POSIX systems: mkstemp, link and mmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "emulator/CardFile.h"

namespace {

std::string SystemText(int Error) { return std::strerror(Error); }

// Writes Size bytes of Fill to Fd, all of them really allocated on disk so
// that storing into the mapping later can never fail for want of space.
bool FillFile(int Fd, size_t Size, uint8_t Fill) {
  std::vector<uint8_t> Chunk(64 * 1024, Fill);
  size_t Done = 0;
  while (Done < Size) {
    size_t Part = std::min(Chunk.size(), Size - Done);
    ssize_t Moved = ::write(Fd, Chunk.data(), Part);
    if (Moved < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Done += static_cast<size_t>(Moved);
  }
  return ::fsync(Fd) == 0;
}

void SyncFolder(const std::string& Dir) {
  int Fd = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd >= 0) {
    ::fsync(Fd);
    ::close(Fd);
  }
}

// Creates Path whole or not at all: the file is built and filled under a
// temporary name in the same folder and only then linked to its real name, so
// a program killed half-way leaves no short card file behind. A card file that
// another program created meanwhile is kept.
void CreateCardFile(const std::string& Dir, const std::string& Name, const std::string& Path, size_t Size,
                    uint8_t Fill) {
  std::string Temp = (std::filesystem::path(Dir) / CardFileTempPrefix(Name)).string() + "XXXXXX";
  std::vector<char> TempName(Temp.begin(), Temp.end());
  TempName.push_back('\0');
  int Fd = ::mkstemp(TempName.data());
  if (Fd < 0)
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(errno));
  bool Filled = FillFile(Fd, Size, Fill);
  int FillError = errno;
  ::close(Fd);
  if (!Filled) {
    ::unlink(TempName.data());
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(FillError));
  }
  if (::link(TempName.data(), Path.c_str()) != 0 && errno != EEXIST) {
    int Error = errno;
    ::unlink(TempName.data());
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(Error));
  }
  ::unlink(TempName.data());
  SyncFolder(Dir);
}

}  // namespace

TCardFile::TCardFile(const std::string& Dir, const std::string& Name, size_t Size, uint8_t Fill) : FSize(Size) {
  const std::string Path = (std::filesystem::path(Dir) / Name).string();
  int Fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
  if (Fd < 0 && errno == ENOENT) {
    CreateCardFile(Dir, Name, Path, Size, Fill);
    Fd = ::open(Path.c_str(), O_RDWR | O_CLOEXEC);
  }
  if (Fd < 0)
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(errno));

  struct stat Info {};
  if (::fstat(Fd, &Info) != 0) {
    int Error = errno;
    ::close(Fd);
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(Error));
  }
  if (!S_ISREG(Info.st_mode)) {
    ::close(Fd);
    throw std::runtime_error("The card file " + Path + " is not a regular file.");
  }
  if (static_cast<uint64_t>(Info.st_size) != Size) {
    ::close(Fd);
    throw std::runtime_error(CardFileSizeText(Path, static_cast<uint64_t>(Info.st_size), Size));
  }
  void* Map = ::mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
  int Error = errno;
  ::close(Fd);
  if (Map == MAP_FAILED)
    throw std::runtime_error("Cannot map the card file " + Path + ": " + SystemText(Error));
  FBytes = static_cast<uint8_t*>(Map);
  RemoveCardFileLeftovers(Dir, Name);
}

TCardFile::~TCardFile() { ::munmap(FBytes, FSize); }

void TCardFile::Sync() { ::msync(FBytes, FSize, MS_SYNC); }
