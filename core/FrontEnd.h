// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

// Message-box flags and results, with the values the platform uses.
constexpr int MB_FLAGS_ERROR = 16;      // error icon, OK
constexpr int MB_FLAGS_QUESTION = 36;   // question icon, Yes and No
constexpr int MB_FLAGS_INFO = 64;       // information icon, OK
constexpr int MB_RESULT_OK = 1;
constexpr int MB_RESULT_YES = 6;
constexpr int MB_RESULT_NO = 7;

// What the card work needs from whoever shows it: the window, the command-line
// front end, or a scripted stand-in in the tests. The core never touches a
// widget; it goes through this interface.
class TFrontEnd {
public:
  virtual ~TFrontEnd() = default;

  // Status bar: panel 0 shows only the connection state, panel 1 progress,
  // results and errors.
  virtual void SetStatusText(int Panel, const std::string& Text) = 0;
  virtual std::string StatusText(int Panel) const = 0;

  // Lets the front end handle its pending events between two packets. A stop
  // click, a close request or dropped files may run inside this call.
  virtual void PumpMessages() = 0;

  // Progress bar of the running operation, 0 .. ProgressMax().
  virtual void SetProgress(int Position) = 0;
  virtual int Progress() const = 0;
  virtual int ProgressMax() const { return 100; }

  // The panel over the card list ("Now loading...", "Now formatting...").
  virtual void ShowBusyPanel(const std::string& Caption) = 0;
  virtual void HideBusyPanel() = 0;

  // Modal message box; returns the platform's result code (1, 6, 7).
  virtual int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) = 0;

  // Replaces the window caption (a failed device-detail query shows "error,size").
  virtual void SetWindowCaption(const std::string& Caption) = 0;
};
