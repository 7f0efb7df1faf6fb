// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "cli/ProgressLine.h"
#include "core/FrontEnd.h"
#include "core/SharedState.h"

// The command line as the core's front end. Status panel 1 becomes lines on
// standard error: the start, completion and error texts as they come, the
// progress texts as a bar redrawn in place while standard error is a
// terminal (and not at all otherwise, so a log holds only whole lines). The
// message pump is where Ctrl-C arrives: it clears Operating, as a stop click
// does in the window. Message boxes print their text; a question is answered
// by --yes, asked on the terminal, or refused when there is no terminal to
// ask on.
class TCliFrontEnd : public TFrontEnd {
public:
  TCliFrontEnd(TSharedState& State, const std::string& Program, bool AssumeYes);

  void SetStatusText(int Panel, const std::string& Text) override;
  std::string StatusText(int Panel) const override;
  void PumpMessages() override;
  void SetProgress(int Position) override;
  int Progress() const override { return FProgress; }
  void ShowBusyPanel(const std::string& Caption) override;
  void HideBusyPanel() override;
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  void SetWindowCaption(const std::string& Caption) override;

  // An error line, "flashquill-cli: Text".
  void Error(const std::string& Text);
  // A line of information on standard error.
  void Note(const std::string& Text);

  // The last error text of status panel 1 that is not printed yet. Errors
  // wait there so that the caller can fold them into its own line ("Device
  // Disconnected (Error Code: 5)") and so that the same text shown again in
  // a message box is printed once; anything printed next flushes it.
  bool HasPendingError() const { return !FPendingError.empty(); }
  std::string TakePendingError();
  void FlushPendingError();
  // Every error line printed so far, in order, without the program's name.
  const std::vector<std::string>& Errors() const { return FErrors; }
  // True when the last error line printed holds Text already.
  bool ErrorSaid(const std::string& Text) const { return !Text.empty() && FLastError.find(Text) != std::string::npos; }
  // True once any error text or error box came since the last ClearFailed.
  bool Failed() const { return FFailed; }
  void ClearFailed() { FFailed = false; }

  // Names the file an error box is about (the queue's refusals name none).
  void SetContext(const std::string& Context) { FContext = Context; }

  // True when a Ctrl-C stopped an operation (or came at all).
  bool StopRequested() const { return FStopSaid; }
  // Work that cannot be stopped (a format): while Text is set, a Ctrl-C says
  // Text instead of the stop, and leaves Operating alone.
  void SetUnstoppable(const std::string& Text) { FUnstoppable = Text; }

  // Ends a bar or busy text still on the terminal; call before the program
  // prints its results or ends.
  void Finish();

  bool Terminal() const { return FTerminal; }

private:
  void Line(const std::string& Text);
  void DrawBar();
  bool Ask(const std::string& Question);

  TSharedState& FState;
  std::string FProgram;
  bool FAssumeYes;
  bool FTerminal;
  bool FInputTerminal;
  TProgressLine FLine;
  std::string FPanels[2];
  int FProgress = 0;
  bool FBarActive = false;
  std::string FBarText;
  std::string FDrawnBar;     // the bar line last drawn
  std::string FPendingError;
  std::string FLastError;   // the last error line printed
  std::vector<std::string> FErrors;
  std::string FLastCompletion;   // "Write complete." while a verify may repeat it
  std::string FContext;
  bool FFailed = false;
  bool FStopSaid = false;
  std::string FUnstoppable;
};
