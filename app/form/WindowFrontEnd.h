// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <chrono>

#include "core/FrontEnd.h"

class TBinding;
class TDialogs;
class TMainForm;

// The window as the card work sees it: status panels, progress bar, busy
// panel and message pumping on the window's controls; message boxes through
// the window's dialogs. The form asks for files through its dialogs itself.
class TWindowFrontEnd : public TFrontEnd {
public:
  TWindowFrontEnd(TMainForm& Form, TBinding& Binding, TDialogs& Dialogs);

  void SetStatusText(int Panel, const std::string& Text) override;
  std::string StatusText(int Panel) const override;
  void PumpMessages() override;
  void SetProgress(int Position) override;
  int Progress() const override;
  int ProgressMax() const override;
  void ShowBusyPanel(const std::string& Caption) override;
  void HideBusyPanel() override;
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  void SetWindowCaption(const std::string& Caption) override;

  // The longest a pump may go without a full pass of the window's event
  // loop. Between two packets the card work pumps twice; a full pass costs a
  // system call, far more than the packet itself on a fast link, so pumps
  // that come sooner and have nothing new of ours to show deliver nothing.
  // A click waits at most this long; the window never looks stuck.
  static constexpr std::chrono::microseconds DefaultDispatchInterval{1000};
  // Zero makes every pump a full pass (tests that act at a chosen pump).
  void SetDispatchInterval(std::chrono::microseconds Interval) { FDispatchInterval = Interval; }

  // Message boxes shown so far, so a caller can tell whether some work
  // already said what went wrong.
  int MessageBoxesShown() const { return FMessageBoxes; }

private:
  TMainForm& FForm;
  TBinding& FBinding;
  TDialogs& FDialogs;
  int FMessageBoxes = 0;
  std::chrono::microseconds FDispatchInterval = DefaultDispatchInterval;
  std::chrono::steady_clock::time_point FLastDispatch{};
  // Set when a status text, the progress bar or the busy panel changed:
  // the next pump shows it, however soon it comes.
  bool FShowPending = true;
};
