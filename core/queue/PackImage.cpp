#include "core/queue/PackImage.h"

#include <vector>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/support/DeleteFile.h"
#include "core/support/FileData.h"
#include "core/support/PrivateTempFile.h"
#include "core/support/Resources.h"

uint32_t PackedGameSize(uint32_t Size) {
  return (Size + PackBlockSize - 1) / PackBlockSize * PackBlockSize;
}

uint32_t PackPlacement(uint32_t End, uint32_t Size) {
  for (uint64_t K = 1; K <= 7; ++K) {
    const uint64_t At = K * Size;
    if (At >= End) return static_cast<uint32_t>(At);
  }
  return End;
}

namespace {

bool WriteAt(std::FILE* File, uint32_t Offset, const uint8_t* Data, size_t Count) {
  // Seeking past the end and writing there fills the gap with zero bytes.
  if (std::fseek(File, static_cast<long>(Offset), SEEK_SET) != 0) return false;
  return std::fwrite(Data, 1, Count, File) == Count;
}

// The image has no name, so closing it is all that removes it.
bool Abandon(std::FILE*& Pack) {
  if (Pack) std::fclose(Pack);
  Pack = nullptr;
  return false;
}

}  // namespace

bool BuildPackImage(const std::vector<TQueueRow>& Rows, TFrontEnd& FrontEnd, std::string& PackFileName,
                    std::FILE*& Pack, std::vector<uint32_t>* Offsets) {
  Pack = nullptr;
  if (Offsets) Offsets->clear();
  PackFileName.clear();
  const TResourceEntry* Menu = FindEmbeddedResource("GBPACK", "KVQ");
  if (!Menu || Menu->Size == 0) return false;
  std::string Why;
  Pack = OpenPrivateTempFile(Why);
  if (!Pack || std::fwrite(Menu->Data, 1, Menu->Size, Pack) != Menu->Size) {
    // The menu could not be put into the image: the resource error box, as
    // for any copy of a resource that fails.
    FrontEnd.ShowMessageBox(std::string(ResourceErrorText) + "\r\n" + "GBPACK/KVQ" + (Why.empty() ? "" : "\r\n" + Why),
                            ResourceErrorCaption, MB_FLAGS_ERROR);
    return Abandon(Pack);
  }
  uint32_t End = static_cast<uint32_t>(Menu->Size);

  for (const TQueueRow& Row : Rows) {
    // A game that is gone or shorter than when it was queued would reach the
    // card cut off; the write ends before anything is sent instead.
    int64_t Count = Row.Size;
    const auto Game = ReadFileData(Row.FileName, Count);
    if (!Game || Count != static_cast<int64_t>(Row.Size)) return Abandon(Pack);

    const uint32_t Size = PackedGameSize(Row.Size);
    const uint32_t At = PackPlacement(End, Size);
    if (static_cast<uint64_t>(At) + Size > PageSize) {
      // The placement gaps can make the image longer than the space the
      // queue counted; past the page it would overwrite the other page.
      FrontEnd.ShowMessageBox(QueueSpaceError, "Error", MB_FLAGS_ERROR);
      return Abandon(Pack);
    }
    if (!WriteAt(Pack, At, Game.get(), Row.Size)) return Abandon(Pack);
    if (Size > Row.Size) {
      const std::vector<uint8_t> Padding(Size - Row.Size, 0);
      if (std::fwrite(Padding.data(), 1, Padding.size(), Pack) != Padding.size()) return Abandon(Pack);
    }
    if (Offsets) Offsets->push_back(At);
    End = At + Size;
  }
  if (std::fflush(Pack) != 0) return Abandon(Pack);
  return true;
}
