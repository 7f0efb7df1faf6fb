// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/queue/HeaderMend.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/queue/GameQueue.h"
#include "core/queue/HeaderCheck.h"
#include "core/queue/HeaderView.h"
#include "core/support/FileData.h"
#include "core/support/Paths.h"

bool MendHeaderBytes(uint8_t* Data, int64_t Size) {
  if (Size < 0x150) return false;
  bool Changed = false;
  const uint8_t Header = HeaderChecksum(Data);
  if (Data[HeaderChecksumOffset] != Header) {
    Data[HeaderChecksumOffset] = Header;
    Changed = true;
  }
  // The global sum covers the header checksum, so it comes second.
  const uint16_t Global = GlobalChecksum(Data, Size);
  const uint8_t High = static_cast<uint8_t>(Global >> 8), Low = static_cast<uint8_t>(Global & 0xFF);
  if (Data[0x14E] != High || Data[0x14F] != Low) {
    Data[0x14E] = High;
    Data[0x14F] = Low;
    Changed = true;
  }
  return Changed;
}

std::string LogoNotMendedText(const std::string& FileName) {
  return std::filesystem::path(FileName).filename().string() +
         " has a wrong logo, which is never mended: a real console will not start it.";
}

TMendedCopies::~TMendedCopies() {
  std::error_code Ignored;
  for (const std::string& File : FFiles) std::filesystem::remove(File, Ignored);
}

std::string TMendedCopies::OriginalOf(const std::string& File) const {
  for (size_t I = 0; I < FFiles.size(); ++I)
    if (FFiles[I] == File) return FOriginals[I];
  return File;
}

bool TMendedCopies::Mend(TGameQueue& Queue, size_t Index, bool& Mended, std::string& Error) {
  Mended = false;
  const TQueueRow& Row = Queue.Rows().at(Index);
  int64_t Count = -1;
  const auto Data = ReadFileData(Row.FileName, Count);
  if (!Data || Count != static_cast<int64_t>(Row.Size)) {
    Error = Row.FileName + ": cannot be read whole to mend its header";
    return false;
  }
  if (!MendHeaderBytes(Data.get(), Count)) return true;
  const std::string Copy = UniqueFileIn(TempDirectory());
  if (Copy.empty()) {
    Error = "no temporary file can be made for the mended copy of " + Row.FileName;
    return false;
  }
  FFiles.push_back(Copy);
  FOriginals.push_back(Row.FileName);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(std::fopen(Copy.c_str(), "wb"), &std::fclose);
  bool Written = File && std::fwrite(Data.get(), 1, static_cast<size_t>(Count), File.get()) ==
                             static_cast<size_t>(Count);
  if (File) Written = std::fclose(File.release()) == 0 && Written;
  if (!Written) {
    Error = "the mended copy of " + Row.FileName + " cannot be written to " + Copy;
    return false;
  }
  Queue.SetRowFile(Index, Copy);
  Mended = true;
  return true;
}
