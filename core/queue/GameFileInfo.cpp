#include "core/queue/GameFileInfo.h"

#include <filesystem>
#include <system_error>

#include "core/support/FileData.h"
#include "core/support/FileSize.h"

std::string TitleFromBytes(const uint8_t* Data, size_t Count) {
  size_t Length = 0;
  while (Length < Count && Data[Length] != 0) ++Length;
  return std::string(reinterpret_cast<const char*>(Data), Length);
}

TGameFileInfo ReadGameHeader(const std::string& FileName) {
  TGameFileInfo Info;
  std::error_code Error;
  const std::filesystem::file_status Status = std::filesystem::status(std::filesystem::u8path(FileName), Error);
  // A folder cannot be opened as a file at all; a pipe or a device could
  // be, and might never answer.
  if (std::filesystem::exists(Status) && !std::filesystem::is_regular_file(Status) &&
      !std::filesystem::is_directory(Status)) {
    Info.Problem = GameFileNotRegular;
    return Info;
  }
  int64_t Count = GameHeadReadSize;
  const auto Head = ReadFileData(FileName, Count);
  if (Count < 0) {
    // Missing, a folder, or unreadable.
    Info.Problem = GameFileOpenError;
    return Info;
  }
  Info.Size = FileSizeOf(FileName);
  if (!Head || Count < GameHeaderEnd || Info.Size < GameHeaderEnd) {
    // Empty, or shorter than a header: there is no title to show and the
    // card listing could never find it.
    Info.Problem = GameFileNotAGame;
    return Info;
  }
  Info.Title = TitleFromBytes(Head.get() + GameTitleOffset, GameTitleLength);
  return Info;
}
