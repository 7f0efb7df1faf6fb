// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/queue/GameQueue.h"

// What a write that did not run to its end left on the card, said plainly:
// which page is now partly written, which games of a pack are complete, cut
// short or missing, and what to do about it. The window shows the lines in
// a box and panel 1; the command line prints them.

enum class TCardWriteKind {
  Queue,      // one queued game or a pack, to the selected page
  RawImage,   // a named file to bare card addresses from 0
  SaveRam,    // a named file into save RAM
  Format,     // the page's headers cleared
};

// One game of a write as it lies on the page (page-relative offsets).
struct TPlacedGame {
  std::string Title;
  uint32_t Offset = 0;
  uint32_t Size = 0;
};

// Where the write of these rows puts each game: one game alone at 0; two or
// more behind the boot menu, each at its pack placement.
std::vector<TPlacedGame> PlacedGames(const std::vector<TQueueRow>& Rows);

// The game of Games that holds the page-relative Offset; nullptr for the
// boot menu or a gap.
const TPlacedGame* GameAt(const std::vector<TPlacedGame>& Games, uint32_t Offset);

struct TPartialWrite {
  TCardWriteKind Kind = TCardWriteKind::Queue;
  uint32_t PageBase = 0;              // the selected page (Queue, Format)
  std::vector<TPlacedGame> Games;     // Queue: from PlacedGames
  bool Pack = false;                  // Queue: two or more games behind the boot menu
  std::string FileName;               // RawImage, SaveRam
  std::string BackupFile;             // SaveRam: the backup taken before the write
  uint32_t Total = 0;                 // bytes (Format: blocks) the write was to send
  uint32_t Reached = 0;               // bytes (Format: blocks) that reached the card
  bool CardTouched = false;           // false: the card is as it was
  // Queue, RawImage: the format step before the image, in blocks (both 0:
  // none). A format cut short leaves the blocks after it as they were, so
  // the games there may still be listed.
  uint32_t FormatBlocks = 0;
  uint32_t FormatCleared = 0;
  // Queue, RawImage: the write rewrote only the erase blocks that differed;
  // Reached is then how far the image's start is on the card.
  bool Repair = false;
  uint32_t BlocksToRewrite = 0;
  uint32_t BlocksRewritten = 0;
};

// The games of a queue write cut short, by what became of them.
struct TPartialGames {
  std::vector<TPlacedGame> Complete, CutShort, Missing;
};
TPartialGames PartialWriteGames(const TPartialWrite& Write);

// The report, one sentence a line. Empty when the card was not touched.
std::vector<std::string> PartialWriteReport(const TPartialWrite& Write);

// "Page NO. 1 (32M)", as the page list names the page at PageBase.
std::string PageNameOf(uint32_t PageBase);
