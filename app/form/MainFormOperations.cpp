// SPDX-License-Identifier: GPL-3.0-or-later
// Operation control: how every long operation starts, is stopped and ends,
// the close query, and the keys and clicks that open the hidden panels.
#include "app/form/MainForm.h"

#include "core/link/LinkOptions.h"

namespace {
constexpr const char* StopCaption = "&Stop";
constexpr char EscapeKey = 27;
constexpr const char* AdvanceKeys = "kvq";   // typed in a row, it opens the advanced panel
}  // namespace

void TMainForm::SetOperationBody(TButton* Button, std::function<void()> Body) {
  FOperationBodies[Button] = std::move(Body);
}

// The pattern every operation button follows. A click while no operation
// runs starts one: preparations, then the window is greyed out except for
// the pressed button, which becomes the Stop button, and the operation's
// work runs here, pumping messages between its packets. A click that comes
// while an operation runs is a stop click: it is handled inside that
// pumping and runs only the closing steps, so the window is back at once;
// the work then finds Operating false and ends, and the first click runs
// the closing steps a second time.
void TMainForm::RunOperation(TButton* Button, const TOperation& Operation) {
  if (!FState.Operating) {
    const auto Body = FOperationBodies.find(Button);
    // Copied: the table may change while it runs.
    const std::function<void()> Installed = Body != FOperationBodies.end() ? Body->second : nullptr;
    const bool StandIn = Installed && Operation.Work;
    if (!StandIn && Operation.Prepare && !Operation.Prepare()) return;
    pMain->SetEnabled(false);
    EnableOperationButtons(false);
    if (!Operation.KeepCaption) {
      Button->SetEnabled(true);
      Button->SetCaption(StopCaption);
    }
    FKeptOutcome.clear();
    const int64_t CableBefore = FPort.SimulatedNanoseconds();
    if (Installed)
      Installed();
    else if (Operation.Work)
      Operation.Work();
    // What the work left in panel 1, unless it kept an outcome of its own.
    if (FKeptOutcome.empty()) FKeptOutcome = FFrontEnd.StatusText(1);
    // On a timed emulated cable: how long the real cable would have taken.
    const std::string CableTime = SimulatedTimeText(CableBefore, FPort.SimulatedNanoseconds());
    if (!CableTime.empty()) FKeptOutcome += (FKeptOutcome.empty() ? "" : "  ") + CableTime;
    CloseOperation(Button, Operation);
    ShowKeptOutcome();
    return;
  }
  CloseOperation(Button, Operation);
}

void TMainForm::ShowKeptOutcome() {
  // The closing identification clears panel 1; the outcome comes back.
  if (!FKeptOutcome.empty()) FFrontEnd.SetStatusText(1, FKeptOutcome);
  FKeptOutcome.clear();
}

void TMainForm::CloseOperation(TButton* Button, const TOperation& Operation) {
  FState.Operating = false;
  // Device changes of the operation's time that the port has not reported
  // yet are dropped as those it reported meanwhile were.
  FDroppingDeviceChanges = true;
  FPort.PollDeviceEvents();
  FDroppingDeviceChanges = false;
  Button->SetCaption(Operation.RestoredCaption);
  pMain->SetEnabled(true);
  EnableOperationButtons(true);
  if (Operation.BeforeIdentify) Operation.BeforeIdentify();
  // Last, so that a missing cable or an unknown chip greys the window again.
  IdentifyChip();
  if (Operation.AfterIdentify) Operation.AfterIdentify();
}

bool TMainForm::FormCloseQuery() {
  if (!FState.Operating) return true;
  const int Answer = FFrontEnd.ShowMessageBox("Now operting, cancel it?", Window().Caption(), MB_FLAGS_QUESTION);
  if (Answer != MB_RESULT_YES) return false;
  FState.Operating = false;
  return true;
}

void TMainForm::FormKeyPress(char Key) {
  if (Key == EscapeKey) {
    Close();   // through the close query
    return;
  }
  // A wrong key starts the count again without being tested as the first
  // letter, so "kvkvq" does not open the panel while "xkvq" does.
  if (Key == AdvanceKeys[KeySeqIndex - 1]) {
    if (++KeySeqIndex == 4) {
      ShowAdvancePanel();
      KeySeqIndex = 1;
    }
  } else {
    KeySeqIndex = 1;
  }
}

void TMainForm::RightControlChange(bool Down) { FRightControlDown = Down; }

void TMainForm::ShowAdvancePanel() {
  gbAdvance->SetVisible(true);
  btnReadAll->SetVisible(true);
  btnWriteAll->SetVisible(true);
  gbAdvance->BringToFront();
  btnReadAll->BringToFront();
  btnWriteAll->BringToFront();
}

void TMainForm::gbAdvanceDblClick() {
  if (FState.TestROMMode) return;   // the ROM test keeps the panel once shown
  gbAdvance->SetVisible(false);
  btnReadAll->SetVisible(false);
  btnWriteAll->SetVisible(false);
}

void TMainForm::imgConnectClick() {
  if (!FRightControlDown) return;
  if (OnPortTestWindow) OnPortTestWindow();
}
