#include "core/queue/GameQueue.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/card/SizeText.h"
#include "core/queue/GameFileInfo.h"

bool TGameQueue::AddGameFile(const std::string& FileName, TFrontEnd& FrontEnd) {
  const TGameFileInfo Info = ReadGameHeader(FileName);
  if (!Info.Usable()) {
    FrontEnd.ShowMessageBox(Info.Problem + "\r\n" + FileName, "Error", MB_FLAGS_ERROR);
    return false;
  }

  if (FRows.size() >= MenuGameLimit && !AllowPastMenuLimit) {
    FrontEnd.ShowMessageBox(QueueMenuLimitText(FileName), "Error", MB_FLAGS_ERROR);
    return false;
  }

  // Once a game waits, adding another turns the write into a pack, so the
  // boot menu is counted in front of it (again, when it is already in Used).
  int64_t Used = QueueUsedSize();
  if (!FRows.empty()) Used += MenuImageSize;
  if (static_cast<int64_t>(PageSize) - Used < Info.Size) {
    FrontEnd.ShowMessageBox(QueueSpaceError, "Error", MB_FLAGS_ERROR);
    return false;
  }

  const uint32_t Size = static_cast<uint32_t>(Info.Size);
  const auto Where = std::find_if(FRows.begin(), FRows.end(), [Size](const TQueueRow& Row) { return Row.Size >= Size; });
  TQueueRow Row;
  // The write may come long after the add, from another working folder.
  std::error_code Error;
  const std::filesystem::path Full = std::filesystem::absolute(std::filesystem::path(FileName), Error);
  Row.FileName = Error ? FileName : Full.string();
  Row.Title = Info.Title;
  Row.SizeText = SizeText(static_cast<int32_t>(Size));
  Row.Size = Size;
  FRows.insert(Where, std::move(Row));
  Changed();
  return true;
}

std::string QueueMenuLimitText(const std::string& FileName) {
  return std::string(QueueMenuLimitError) + "\r\n" + FileName + " would be game " +
         std::to_string(TGameQueue::MenuGameLimit + 1) + ", which the console could never start.";
}

uint32_t TGameQueue::QueueUsedSize() const {
  uint32_t Used = 0;
  for (const TQueueRow& Row : FRows) Used += Row.Size;
  if (FRows.size() > 1) Used += MenuImageSize;
  return Used;
}

std::string TGameQueue::QueueCaptionText() const {
  const int32_t Free = static_cast<int32_t>(PageSize) - static_cast<int32_t>(QueueUsedSize());
  return " Ready to burn (Size: 32M, Free: " + SizeText(Free) + ") ";
}

void TGameQueue::RemoveRows(const std::vector<size_t>& Indices) {
  std::vector<size_t> Sorted(Indices);
  std::sort(Sorted.begin(), Sorted.end());
  Sorted.erase(std::unique(Sorted.begin(), Sorted.end()), Sorted.end());
  // From the last, so the indices still to go keep their meaning.
  for (auto It = Sorted.rbegin(); It != Sorted.rend(); ++It) {
    if (*It >= FRows.size()) continue;
    FRows.erase(FRows.begin() + static_cast<std::ptrdiff_t>(*It));
    Changed();
  }
}

void TGameQueue::RemoveAll() {
  if (FRows.empty()) return;
  FRows.clear();
  Changed();
}

void TGameQueue::Changed() {
  if (OnChange) OnChange();
}
