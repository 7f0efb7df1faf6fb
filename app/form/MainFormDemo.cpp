// SPDX-License-Identifier: GPL-3.0-or-later
// The demo pack: an empty emulated card gets a few games, written through
// the queue and the Write button's own steps, so there is something to see.
#include "app/form/MainForm.h"

bool TMainForm::WriteDemoPack(const std::vector<std::string>& Games) {
  // Only on the first page of a known chip with no game on it, and with
  // nothing of the user's waiting or running.
  if (FState.TestROMMode || FState.TestSRAMMode || FState.Operating) return false;
  if (FState.CardCapacity == 0 || FState.PageBase != 0 || Games.empty()) return false;
  if (lvCardRom->RowCount() > 0 || !FQueue.Empty()) return false;

  for (const std::string& Game : Games) AddGameFile(Game);
  bool Written = false;
  if (FQueue.Count() == Games.size()) {
    // The card list is empty, so Write asks nothing; it formats, writes the
    // pack, lists the page again and selects it for the console.
    btnWriteClick();
    Written = lvCardRom->RowCount() > 0;
  }
  // The games came from a temporary folder that goes away. Emptying the
  // queue identifies the chip, which clears panel 1; the write's outcome
  // stays there for the user to read.
  const std::string Outcome = FFrontEnd.StatusText(1);
  RemoveAllMenuExecute();
  if (!Outcome.empty()) FFrontEnd.SetStatusText(1, Outcome);
  return Written;
}
