// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliFrontEnd.h"

#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define FQ_ISATTY _isatty
#define FQ_FILENO _fileno
#else
#include <unistd.h>
#define FQ_ISATTY isatty
#define FQ_FILENO fileno
#endif

#include "cli/Interrupt.h"

namespace {

bool StartsWith(const std::string& Text, const char* Prefix) { return Text.rfind(Prefix, 0) == 0; }

// The texts of status panel 1 that are no errors.
bool IsStartText(const std::string& Text) {
  return Text == "Now writting..." || Text == "Now reading..." || Text == "Now verifying..." ||
         Text == "Now comparing..." || Text == "Now checking the contact...";
}
bool IsProgressText(const std::string& Text) {
  return StartsWith(Text, "Now writting...  Estimate remain time: ") ||
         StartsWith(Text, "Now reading...  Estimate remain time: ") ||
         StartsWith(Text, "Now verifying...  Estimate remain time: ");
}
bool IsCompletionText(const std::string& Text) {
  return StartsWith(Text, "Write complete.") || StartsWith(Text, "Read complete.") ||
         StartsWith(Text, "Backup complete.") || StartsWith(Text, "Contact check passed");
}

// A message box's lines as one line.
std::string OneLine(const std::string& Text) {
  std::string Out;
  bool Break = false;
  for (char C : Text) {
    if (C == '\r' || C == '\n') {
      Break = true;
      continue;
    }
    if (Break && !Out.empty()) Out += ' ';
    Break = false;
    Out += C;
  }
  return Out;
}

}  // namespace

TCliFrontEnd::TCliFrontEnd(TSharedState& State, const std::string& Program, bool AssumeYes)
    : FState(State),
      FProgram(Program),
      FAssumeYes(AssumeYes),
      FTerminal(FQ_ISATTY(FQ_FILENO(stderr)) != 0),
      FInputTerminal(FQ_ISATTY(FQ_FILENO(stdin)) != 0),
      FLine(stderr) {}

void TCliFrontEnd::Line(const std::string& Text) {
  FLine.Clear();
  std::fputs((Text + "\n").c_str(), stderr);
  std::fflush(stderr);
  // The bar comes back with the next progress step.
}

void TCliFrontEnd::Error(const std::string& Text) {
  FlushPendingError();
  FFailed = true;
  FLastError = Text;
  FErrors.push_back(Text);
  Line(FProgram + ": " + Text);
}

void TCliFrontEnd::Note(const std::string& Text) {
  FlushPendingError();
  Line(Text);
}

std::string TCliFrontEnd::TakePendingError() {
  std::string Text;
  Text.swap(FPendingError);
  return Text;
}

void TCliFrontEnd::FlushPendingError() {
  if (FPendingError.empty()) return;
  const std::string Text = TakePendingError();
  FLastError = Text;
  FErrors.push_back(Text);
  Line(FProgram + ": " + Text);
}

void TCliFrontEnd::SetStatusText(int Panel, const std::string& Text) {
  FPanels[Panel & 1] = Text;
  // Panel 0 only tells the connection state, which the commands report in
  // their own words.
  if (Panel != 1 || Text.empty()) return;
  if (IsStartText(Text)) {
    FlushPendingError();
    if (Text != "Now verifying...") FLastCompletion.clear();
    FBarText = Text;
    FBarActive = true;
    if (FTerminal)
      DrawBar();
    else
      Line(Text);
  } else if (IsProgressText(Text)) {
    // Drawn with the bar position that the engines set right after it.
    FBarText = Text;
  } else if (IsCompletionText(Text)) {
    FBarActive = false;
    // A write's outcome comes again after its verify pass, with the time of
    // both: the line of the write itself said it already.
    const std::string Kind = Text.substr(0, Text.find('.') + 1);
    if (Kind != FLastCompletion) Note(Text);
    FLastCompletion = Kind;
  } else {
    FBarActive = false;
    FFailed = true;
    // The closing identification after a broken link meets the same error
    // again: said once is enough.
    if (Text == FLastError || Text == FPendingError) return;
    FlushPendingError();
    FPendingError = Text;
  }
}

std::string TCliFrontEnd::StatusText(int Panel) const { return FPanels[Panel & 1]; }

void TCliFrontEnd::PumpMessages() {
  if (!Interrupted()) return;
  if (!FUnstoppable.empty()) {
    if (!FStopSaid) Note(FUnstoppable);
    FStopSaid = true;
    return;
  }
  // The same as the window's Stop: the running loop ends at its next check.
  FState.Operating = false;
  if (!FStopSaid) {
    FStopSaid = true;
    FBarActive = false;
    Note("Stopped by Ctrl-C between two packets.");
  }
}

void TCliFrontEnd::SetProgress(int Position) {
  FProgress = Position;
  if (FTerminal && FBarActive) DrawBar();
}

void TCliFrontEnd::DrawBar() {
  // The engines set the text and then the bar for one step: draw it once.
  const std::string Line = TProgressLine::BarText(FProgress, ProgressMax(), FBarText);
  if (FLine.Shown() && Line == FDrawnBar) return;
  FDrawnBar = Line;
  FLine.DrawText(Line);
}

void TCliFrontEnd::ShowBusyPanel(const std::string& Caption) {
  FlushPendingError();
  if (FTerminal) FLine.DrawText(Caption);
}

void TCliFrontEnd::HideBusyPanel() {
  if (FTerminal && !FBarActive) FLine.Clear();
}

bool TCliFrontEnd::Ask(const std::string& Question) {
  FLine.Clear();
  std::fputs((Question + " [y/N] ").c_str(), stderr);
  std::fflush(stderr);
  std::string Answer;
  if (!std::getline(std::cin, Answer)) {
    std::fputs("\n", stderr);
    return false;
  }
  return !Answer.empty() && (Answer[0] == 'y' || Answer[0] == 'Y');
}

int TCliFrontEnd::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  const std::string Flat = OneLine(Text);
  if (Flags == MB_FLAGS_QUESTION) {
    FlushPendingError();
    if (FAssumeYes) return MB_RESULT_YES;
    if (FInputTerminal && !Interrupted()) return Ask(Flat) ? MB_RESULT_YES : MB_RESULT_NO;
    Error(Flat + " Not answered: standard input is not a terminal; give --yes to confirm.");
    return MB_RESULT_NO;
  }
  // The status text that said the same already is folded into this line.
  const std::string First = Text.substr(0, Text.find_first_of("\r\n"));
  if (!FPendingError.empty() && FPendingError == First) FPendingError.clear();
  std::string Shown = Flat;
  if (!FContext.empty() && Flat.find(FContext) == std::string::npos) Shown = FContext + ": " + Flat;
  if (Flags == MB_FLAGS_INFO) {
    Note(Shown);
    return MB_RESULT_OK;
  }
  (void)Caption;
  Error(Shown);
  return MB_RESULT_OK;
}

void TCliFrontEnd::SetWindowCaption(const std::string& Caption) {
  // Only a failed query of the cable's device details changes the caption.
  Error("the cable's device details could not be read (" + Caption + ")");
}

void TCliFrontEnd::Finish() {
  FlushPendingError();
  FBarActive = false;
  FLine.Clear();
}
