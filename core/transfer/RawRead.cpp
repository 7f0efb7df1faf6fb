#include "core/transfer/RawRead.h"

#include "core/transfer/PartialWrite.h"
#include "core/transfer/WriteEngine.h"

std::string RawReadRefusal(uint32_t PageBase, uint32_t Size) {
  if (Size == 0) return "Nothing to read: the size is 0 bytes.";
  const uint64_t Room = PageBase < FlashImageLimit ? FlashImageLimit - PageBase : 0;
  if (Size <= Room) return std::string();
  return "The read runs past the end of the card: from " + PageNameOf(PageBase) + " onwards it holds " +
         std::to_string(Room) + " bytes, not " + std::to_string(Size) + ".";
}
