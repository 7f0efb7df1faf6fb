// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/card/CardScan.h"

#include <array>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/card/SizeText.h"
#include "core/link/Link.h"
#include "core/support/Bytes.h"

namespace {

// The title runs from its offset to the first zero byte. A header whose
// title bytes and everything after them up to the end of the probed block
// are non-zero ends with the block: nothing past the bytes read is looked at.
std::string HeaderTitle(const uint8_t* Block) {
  std::string Title;
  for (uint32_t I = HeaderTitleOffset; I < HeaderProbeSize && Block[I] != 0; ++I)
    Title.push_back(static_cast<char>(Block[I]));
  return Title;
}

}  // namespace

std::string ScanSummary(int Games, uint32_t Used, uint32_t Capacity) {
  const int32_t Free = static_cast<int32_t>(Capacity - Used);   // negative without a known chip
  return "[" + std::to_string(Games) + " Game(s) Total, Size: " + SizeText(static_cast<int32_t>(Used)) +
         ", Free: " + SizeText(Free) + "]";
}

std::string ScanCardPage(TLink& Link, TCardListSink& List, TScanTotals* Totals) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  FrontEnd.ShowBusyPanel("Now loading...");

  TScanTotals Found;
  std::array<uint8_t, HeaderProbeSize> Block{};
  List.ClearRows();
  FrontEnd.PumpMessages();   // lets the cleared list and the busy panel show

  // Games follow each other at multiples of the last one's size (the pack
  // layout), so the stride is the size of the last game found and the probes
  // skip over game bodies.
  uint32_t Step = ProbeStep;
  for (uint32_t Address = 0; Address < PageSize;) {
    if (!Link.ReadBlock(static_cast<int32_t>(Address), HeaderProbeSize, cmdReadRom, Block.data())) {
      // The link has reported the failure; the totals say nothing was found.
      Found.Games = 0;
      Found.Used = 0;
      Found.Complete = false;
      break;
    }
    uint32_t Next = Step;
    if (ReadLE32(Block.data() + HeaderTailOffset) == HeaderLogoTail) {
      const std::string Title = HeaderTitle(Block.data());
      const uint8_t Code = Block[HeaderRomSizeOffset];
      if (Title == MenuTitle) {
        Found.Used += MenuImageSize;
      } else if (Code < RomSizeCodes) {
        const uint32_t Size = RomSizeTable[Code];
        List.AddRow(TCardRow{Title, SizeText(static_cast<int32_t>(Size)), Address, Size});
        ++Found.Games;
        Found.Used += Size;
        Step = Size;
        Next = Size;
      }
      // A ROM-size code no game has: the slot holds no game we can size, so
      // it is passed over like a slot without a header, on the same grid.
      // Moving 32 KiB on instead would put every later probe off the grid
      // and hide the games behind it.
    }
    Address += Next;
  }

  const std::string Summary = ScanSummary(Found.Games, Found.Used, Link.State().CardCapacity);
  FrontEnd.HideBusyPanel();
  if (Totals) *Totals = Found;
  return Summary;
}
