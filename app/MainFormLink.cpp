// Which controls are usable: the chip identification and the buttons that
// follow the link and the lists.
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "app/support/AALabel.h"
#include "app/support/ControlLook.h"
#include "app/support/Panel.h"

namespace {
// The read-size item chosen for a recognised chip: its whole 8 MiB.
constexpr int WholeChipSizeItem = 8;
}  // namespace

std::vector<QPushButton*> TMainForm::OperationButtons() const {
  return {btnWrite, btnRead, btnEraseChip, btnWriteAll, btnReadAll, btnReadSRAM, btnWriteSRAM, btnTestSRAM};
}

void TMainForm::EnableOperationButtons(bool Enable) {
  for (QPushButton* Button : OperationButtons()) Button->setEnabled(Enable);
}

void TMainForm::IdentifyChip() {
  const TLink::TIdentity Identity = FLink.IdentifyChip();
  if (Identity.Chip) {
    if (cbSize->currentIndex() < 0) cbSize->setCurrentIndex(WholeChipSizeItem);
    AALabel1->setToolTip(QStringLiteral("%1=%2")
                             .arg(Identity.Id, 4, 16, QLatin1Char('0'))
                             .toUpper()
                             .arg(QString::fromLatin1(Identity.Chip->Name)));
  } else {
    AALabel1->setToolTip(QString());
  }

  const bool Usable = FState.CardCapacity != 0;
  FFrontEnd.SetStatusText(0, Usable ? "Device Connected" : "Device Disconnected");
  // A running operation disabled the panel and every button but its own
  // Stop button; an identification from inside its message pumping (a queue
  // change, a double-click on the caption) must leave them so, or a second
  // operation could start in the middle of the first. Its closing steps
  // identify the chip again.
  if (!FState.Operating) {
    SetPanelEnabled(pMain, Usable);
    EnableOperationButtons(Usable);
  }
  UpdateListButtons();
}

void TMainForm::UpdateListButtons() {
  const bool Linked = FLink.LinkHandle() != 0;
  const bool QueueSelection = !lvROMs->selectedItems().isEmpty();
  RemoveMenu->setEnabled(QueueSelection);
  BitBtn3->setEnabled(QueueSelection);
  const bool QueueRows = lvROMs->topLevelItemCount() > 0 && Linked;
  RemoveAllMenu->setEnabled(QueueRows);
  BitBtn4->setEnabled(QueueRows);
  // The operation buttons follow the lists only between operations (see
  // IdentifyChip).
  if (FState.Operating) return;
  btnWrite->setEnabled(QueueRows && Linked);
  btnRead->setEnabled(!lvCardRom->selectedItems().isEmpty() && Linked);
}

void TMainForm::AALabel1DblClick() { IdentifyChip(); }

void TMainForm::lvROMsChange() { IdentifyChip(); }

void TMainForm::lvCardRomChange() { UpdateListButtons(); }
