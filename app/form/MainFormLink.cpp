// SPDX-License-Identifier: GPL-3.0-or-later
// Which controls are usable: the chip identification and the buttons that
// follow the link and the lists.
#include <cstdio>

#include "app/form/MainForm.h"

namespace {
// The read-size item chosen for a recognised chip: its whole 8 MiB.
constexpr int WholeChipSizeItem = 8;
}  // namespace

std::vector<TButton*> TMainForm::OperationButtons() const {
  return {btnWrite, btnRead, btnEraseChip, btnWriteAll, btnReadAll, btnReadSRAM, btnWriteSRAM, btnTestSRAM};
}

void TMainForm::EnableOperationButtons(bool Enable) {
  for (TButton* Button : OperationButtons()) Button->SetEnabled(Enable);
}

void TMainForm::IdentifyChip() {
  const TLink::TIdentity Identity = FLink.IdentifyChip();
  if (Identity.Chip) {
    if (cbSize->ItemIndex() < 0) cbSize->SetItemIndex(WholeChipSizeItem);
    char Id[8];
    std::snprintf(Id, sizeof Id, "%04X", static_cast<unsigned>(Identity.Id & 0xFFFF));
    AALabel1->SetHint(std::string(Id) + "=" + Identity.Chip->Name);
  } else {
    AALabel1->SetHint(std::string());
  }

  const bool Usable = FState.CardCapacity != 0;
  FFrontEnd.SetStatusText(0, Usable ? "Device Connected" : "Device Disconnected");
  // A running operation disabled the panel and every button but its own
  // Stop button; an identification from inside its message pumping (a queue
  // change, a double-click on the caption) must leave them so, or a second
  // operation could start in the middle of the first. Its closing steps
  // identify the chip again.
  if (!Busy()) {
    pMain->SetEnabled(Usable);
    EnableOperationButtons(Usable);
  }
  UpdateListButtons();
}

void TMainForm::UpdateListButtons() {
  const bool Linked = FLink.LinkHandle() != 0;
  const bool QueueSelection = !lvROMs->SelectedRows().empty();
  RemoveMenu.SetEnabled(QueueSelection);
  const bool QueueRows = lvROMs->RowCount() > 0 && Linked;
  RemoveAllMenu.SetEnabled(QueueRows);
  // The operation buttons follow the lists only between operations (see
  // IdentifyChip).
  if (Busy()) return;
  btnWrite->SetEnabled(QueueRows && Linked);
  btnRead->SetEnabled(!lvCardRom->SelectedRows().empty() && Linked);
}

void TMainForm::AALabel1DblClick() { IdentifyChip(); }

void TMainForm::lvROMsChange() { IdentifyChip(); }

void TMainForm::lvCardRomChange() { UpdateListButtons(); }
