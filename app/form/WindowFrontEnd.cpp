// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form/WindowFrontEnd.h"

#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"

TWindowFrontEnd::TWindowFrontEnd(TMainForm& Form, TBinding& Binding, TDialogs& Dialogs)
    : FForm(Form), FBinding(Binding), FDialogs(Dialogs) {}

void TWindowFrontEnd::SetStatusText(int Panel, const std::string& Text) {
  if (FForm.StatusBar) FForm.StatusBar->SetPanelText(Panel == 0 ? 0 : 1, Text);
  FShowPending = true;
}

std::string TWindowFrontEnd::StatusText(int Panel) const {
  return FForm.StatusBar ? FForm.StatusBar->PanelText(Panel == 0 ? 0 : 1) : std::string();
}

void TWindowFrontEnd::PumpMessages() {
  if (!FShowPending && std::chrono::steady_clock::now() - FLastDispatch < FDispatchInterval) return;
  FShowPending = false;
  FBinding.ProcessMessages();
  // Counted from the end of the pass: a pass that painted the whole window
  // may itself take longer than the interval.
  FLastDispatch = std::chrono::steady_clock::now();
}

void TWindowFrontEnd::SetProgress(int Position) {
  FForm.ProgressBar->SetPosition(Position);
  FShowPending = true;
}
int TWindowFrontEnd::Progress() const { return FForm.ProgressBar->Position(); }
int TWindowFrontEnd::ProgressMax() const { return FForm.ProgressBar->Max(); }

void TWindowFrontEnd::ShowBusyPanel(const std::string& Caption) {
  FForm.pFindGame->SetCaption(Caption);
  FForm.pFindGame->SetVisible(true);
  FForm.pFindGame->BringToFront();
  FShowPending = true;
}

void TWindowFrontEnd::HideBusyPanel() {
  FForm.pFindGame->SetVisible(false);
  FShowPending = true;
}

int TWindowFrontEnd::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  ++FMessageBoxes;
  return FDialogs.ShowMessageBox(Text, Caption, Flags);
}

void TWindowFrontEnd::SetWindowCaption(const std::string& Caption) { FForm.Window().SetCaption(Caption); }

