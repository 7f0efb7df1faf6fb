// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/PartialWrite.h"

#include <cstdio>

#include "core/card/CardLayout.h"
#include "core/queue/PackImage.h"

namespace {

std::string Hex6(uint32_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%06X", static_cast<unsigned>(Value));
  return Text;
}

std::string Titles(const std::vector<std::string>& Names) {
  std::string Text;
  for (size_t I = 0; I < Names.size(); ++I) Text += (I ? ", " : "") + Names[I];
  return Text;
}

std::string Shown(const std::string& Title) { return Title.empty() ? "(untitled)" : "\"" + Title + "\""; }

// The write ended in its format step: nothing of the image went out, and
// only the headers of the blocks cleared are gone.
bool FormatCutShort(const TPartialWrite& Write, const std::string& Where, std::vector<std::string>& Lines) {
  if (Write.FormatBlocks == 0 || Write.FormatCleared >= Write.FormatBlocks) return false;
  const std::string Blocks = std::to_string(Write.FormatCleared) + " of " + std::to_string(Write.FormatBlocks);
  if (Write.Kind == TCardWriteKind::Queue)
    Lines.push_back(Where + " holds only part of the image now: none of its " + std::to_string(Write.Total) +
                    " bytes reached the card, as the format before the write was cut short (" + Blocks +
                    " blocks cleared), so games after those blocks may still be listed.");
  else
    Lines.push_back(Where + " is now partly formatted: none of " + Write.FileName +
                    " reached the card, as the format before the write was cut short (" + Blocks +
                    " blocks cleared), so games after those blocks may still be listed.");
  return true;
}

// A write of only what differed: every block before Reached is the image's.
std::string RepairCut(const TPartialWrite& Write) {
  return std::to_string(Write.BlocksRewritten) + " of the " + std::to_string(Write.BlocksToRewrite) +
         " blocks that differed were rewritten, and the image's first " + std::to_string(Write.Reached) + " of " +
         std::to_string(Write.Total) + " bytes are on the card.";
}

void QueueReport(const TPartialWrite& Write, std::vector<std::string>& Lines) {
  const std::string Page = PageNameOf(Write.PageBase);
  if (Write.Repair)
    Lines.push_back(Page + " holds only part of the image now: " + RepairCut(Write));
  else if (!FormatCutShort(Write, Page, Lines))
    Lines.push_back(Page + " holds only part of the image now: " + std::to_string(Write.Reached) + " of " +
                    std::to_string(Write.Total) + " bytes reached the card, and its old games are gone.");
  if (Write.Pack && Write.Reached < MenuImageSize)
    Lines.push_back("The boot menu is cut short: the console cannot start any game of this page.");
  const TPartialGames Games = PartialWriteGames(Write);
  std::vector<std::string> Complete, Cut, Missing;
  for (const TPlacedGame& Game : Games.Complete) Complete.push_back(Shown(Game.Title));
  for (const TPlacedGame& Game : Games.CutShort)
    Cut.push_back(Shown(Game.Title) + " (" + std::to_string(Write.Reached - Game.Offset) + " of " +
                  std::to_string(Game.Size) + " bytes)");
  for (const TPlacedGame& Game : Games.Missing) Missing.push_back(Shown(Game.Title));
  if (!Complete.empty()) Lines.push_back("Complete: " + Titles(Complete) + ".");
  if (!Cut.empty()) Lines.push_back("Cut short, will not run: " + Titles(Cut) + ".");
  if (!Missing.empty()) Lines.push_back("Missing: " + Titles(Missing) + ".");
  Lines.push_back("Write the games again, or format the page.");
}

}  // namespace

std::string PageNameOf(uint32_t PageBase) { return "Page NO. " + std::to_string(PageBase / PageSize + 1) + " (32M)"; }

TPartialGames PartialWriteGames(const TPartialWrite& Write) {
  TPartialGames Games;
  for (const TPlacedGame& Game : Write.Games) {
    if (static_cast<uint64_t>(Game.Offset) + Game.Size <= Write.Reached)
      Games.Complete.push_back(Game);
    else if (Game.Offset < Write.Reached)
      Games.CutShort.push_back(Game);
    else
      Games.Missing.push_back(Game);
  }
  return Games;
}

std::vector<TPlacedGame> PlacedGames(const std::vector<TQueueRow>& Rows) {
  std::vector<TPlacedGame> Games;
  if (Rows.size() == 1) {
    Games.push_back({Rows.front().Title, 0, Rows.front().Size});
    return Games;
  }
  uint32_t End = MenuImageSize;
  for (const TQueueRow& Row : Rows) {
    const uint32_t Size = PackedGameSize(Row.Size);
    const uint32_t At = PackPlacement(End, Size);
    Games.push_back({Row.Title, At, Row.Size});
    End = At + Size;
  }
  return Games;
}

const TPlacedGame* GameAt(const std::vector<TPlacedGame>& Games, uint32_t Offset) {
  for (const TPlacedGame& Game : Games)
    if (Offset >= Game.Offset && Offset - Game.Offset < PackedGameSize(Game.Size)) return &Game;
  return nullptr;
}

std::vector<std::string> PartialWriteReport(const TPartialWrite& Write) {
  std::vector<std::string> Lines;
  if (!Write.CardTouched) return Lines;
  switch (Write.Kind) {
    case TCardWriteKind::Queue:
      QueueReport(Write, Lines);
      break;
    case TCardWriteKind::RawImage: {
      const bool TwoPages = Write.Total > PageSize;
      if (Write.Repair) {
        Lines.push_back(std::string(TwoPages ? "Both pages are" : "Page NO. 1 (32M) is") + " now partly written: " +
                        RepairCut(Write));
        Lines.push_back("Write the image again, or format the page.");
        break;
      }
      if (FormatCutShort(Write, TwoPages ? "both pages" : "Page NO. 1 (32M)", Lines)) {
        Lines.push_back("Write the image again, or format the page.");
        break;
      }
      Lines.push_back(std::string(TwoPages ? "Both pages are" : "Page NO. 1 (32M) is") + " now partly written: " +
                      std::to_string(Write.Reached) + " of " + std::to_string(Write.Total) + " bytes of " +
                      Write.FileName + " reached the card" +
                      (Write.Reached ? " (card addresses 0x000000 to " + Hex6(Write.Reached - 1) + ")" : "") +
                      ", and the old games there are gone.");
      Lines.push_back("Write the image again, or format the page.");
      break;
    }
    case TCardWriteKind::SaveRam:
      Lines.push_back("The save RAM is now partly written: its first " + std::to_string(Write.Reached) + " of " +
                      std::to_string(Write.Total) + " bytes are from " + Write.FileName +
                      ", the rest is the old save.");
      Lines.push_back(Write.BackupFile.empty() ? "Write the save again."
                                               : "Write the save again, or write the backup " + Write.BackupFile +
                                                     " back to have the old save.");
      break;
    case TCardWriteKind::Format:
      Lines.push_back(PageNameOf(Write.PageBase) + " is now partly formatted: " + std::to_string(Write.Reached) +
                      " of " + std::to_string(Write.Total) + " blocks were cleared, so it may list games only in part.");
      Lines.push_back("Format the page again.");
      break;
  }
  return Lines;
}
