// SPDX-License-Identifier: GPL-3.0-or-later
// Card files on Windows: a filled temporary file moved to its name, then a
// file mapping. Names are in the ANSI code page, as the command line hands
// them over and as the rest of the program opens its files.
#include <windows.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "emulator/CardFile.h"

namespace {

std::string SystemText(DWORD Error) { return std::system_category().message(static_cast<int>(Error)); }

std::string RandomSuffix() {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device Source;
  std::string Suffix;
  for (int I = 0; I < 6; ++I) Suffix.push_back(Letters[Source() % (sizeof Letters - 1)]);
  return Suffix;
}

// Size bytes of Fill, all written out before the file gets its name, so that
// storing into the mapping later can never fail for want of space.
bool FillFile(HANDLE File, size_t Size, uint8_t Fill) {
  std::vector<uint8_t> Chunk(64 * 1024, Fill);
  size_t Done = 0;
  while (Done < Size) {
    const DWORD Part = static_cast<DWORD>(std::min(Chunk.size(), Size - Done));
    DWORD Moved = 0;
    if (!::WriteFile(File, Chunk.data(), Part, &Moved, nullptr) || Moved == 0) return false;
    Done += Moved;
  }
  return ::FlushFileBuffers(File) != 0;
}

// Creates Path whole or not at all (see the POSIX build): filled under a
// temporary name in the same folder, then moved to its name without
// replacing, so a card file another program created meanwhile is kept.
void CreateCardFile(const std::string& Dir, const std::string& Name, const std::string& Path, size_t Size,
                    uint8_t Fill) {
  HANDLE File = INVALID_HANDLE_VALUE;
  std::string Temp;
  for (int Try = 0; Try < 16 && File == INVALID_HANDLE_VALUE; ++Try) {
    Temp = (std::filesystem::path(Dir) / (CardFileTempPrefix(Name) + RandomSuffix())).string();
    File = ::CreateFileA(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (File == INVALID_HANDLE_VALUE)
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(::GetLastError()));
  const bool Filled = FillFile(File, Size, Fill);
  const DWORD FillError = ::GetLastError();
  ::CloseHandle(File);
  if (!Filled) {
    ::DeleteFileA(Temp.c_str());
    throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(FillError));
  }
  if (!::MoveFileExA(Temp.c_str(), Path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD Error = ::GetLastError();
    ::DeleteFileA(Temp.c_str());
    if (Error != ERROR_ALREADY_EXISTS && Error != ERROR_FILE_EXISTS)
      throw std::runtime_error("Cannot create the card file " + Path + ": " + SystemText(Error));
  }
}

HANDLE OpenCardFile(const std::string& Path) {
  return ::CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TCardFile::TCardFile(const std::string& Dir, const std::string& Name, size_t Size, uint8_t Fill) : FSize(Size) {
  const std::string Path = (std::filesystem::path(Dir) / Name).string();
  HANDLE File = OpenCardFile(Path);
  if (File == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
    CreateCardFile(Dir, Name, Path, Size, Fill);
    File = OpenCardFile(Path);
  }
  if (File == INVALID_HANDLE_VALUE) {
    const DWORD Error = ::GetLastError();
    std::error_code Ignored;
    if (std::filesystem::is_directory(Path, Ignored))
      throw std::runtime_error("The card file " + Path + " is not a regular file.");
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(Error));
  }
  if (::GetFileType(File) != FILE_TYPE_DISK) {
    ::CloseHandle(File);
    throw std::runtime_error("The card file " + Path + " is not a regular file.");
  }
  LARGE_INTEGER Found{};
  if (!::GetFileSizeEx(File, &Found)) {
    const DWORD Error = ::GetLastError();
    ::CloseHandle(File);
    throw std::runtime_error("Cannot open the card file " + Path + ": " + SystemText(Error));
  }
  if (static_cast<uint64_t>(Found.QuadPart) != Size) {
    ::CloseHandle(File);
    throw std::runtime_error(CardFileSizeText(Path, static_cast<uint64_t>(Found.QuadPart), Size));
  }
  HANDLE Mapping = ::CreateFileMappingA(File, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  void* View = Mapping ? ::MapViewOfFile(Mapping, FILE_MAP_ALL_ACCESS, 0, 0, Size) : nullptr;
  const DWORD Error = ::GetLastError();
  if (Mapping) ::CloseHandle(Mapping);   // the view keeps the mapping alive
  if (!View) {
    ::CloseHandle(File);
    throw std::runtime_error("Cannot map the card file " + Path + ": " + SystemText(Error));
  }
  FBytes = static_cast<uint8_t*>(View);
  FFile = File;
  RemoveCardFileLeftovers(Dir, Name);
}

TCardFile::~TCardFile() {
  ::UnmapViewOfFile(FBytes);
  ::CloseHandle(static_cast<HANDLE>(FFile));
}

void TCardFile::Sync() {
  ::FlushViewOfFile(FBytes, FSize);
  ::FlushFileBuffers(static_cast<HANDLE>(FFile));
}
