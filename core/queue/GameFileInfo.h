#pragma once
#include <cstdint>
#include <string>

// The smallest file that holds a whole Game Boy cartridge header (0x100 to
// 0x14F); anything shorter cannot be a game.
constexpr int64_t GameHeaderEnd = 0x150;
// The queue reads only this much of a file to learn its title.
constexpr int64_t GameHeadReadSize = 512;
// The title field of the header; the queue shows at most 15 of its bytes.
constexpr uint32_t GameTitleOffset = 0x134;
constexpr size_t GameTitleLength = 15;

// What the queue learns from a game file: the header title and the length.
struct TGameFileInfo {
  std::string Title;   // the bytes at 0x134..0x142, ending early at the first zero
  int64_t Size = -1;   // the file's length in bytes; -1 when it could not be learned
  // Why the file cannot be queued; empty for a usable file.
  std::string Problem;
  bool Usable() const { return Problem.empty(); }
};

// Texts of the refusals, shown in an error box followed by the file's name.
constexpr const char* GameFileOpenError = "File open error!";
constexpr const char* GameFileNotAGame = "Not a Game Boy game file!";
// A pipe, a device or a folder: opening it could wait forever, and it is
// read more than once.
constexpr const char* GameFileNotRegular = "Not a regular file!";

// Reads the title and size of a game file. A file that does not exist or
// cannot be read, one that is no regular file (checked before it is
// opened), an empty one and one too short for a cartridge header are not
// usable: Problem names the reason and Title stays empty.
TGameFileInfo ReadGameHeader(const std::string& FileName);

// The title as the queue shows it: Count bytes from Data, ending at the first
// zero byte.
std::string TitleFromBytes(const uint8_t* Data, size_t Count);
