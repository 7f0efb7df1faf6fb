// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/FrontEnd.h"

// A front end that records what the card work shows and answers its
// questions from a script. OnPump runs inside every PumpMessages with the
// pump's number (from 1), so a test can click Stop, drop a file or pull the
// cable at a chosen moment.
class TScriptedFrontEnd : public TFrontEnd {
public:
  struct TBox {
    std::string Text, Caption;
    int Flags;
  };

  std::string Panels[2];
  std::vector<std::string> PanelLog;   // every text set in panel 1, in order
  std::vector<int> ProgressLog;        // every bar position set
  int Bar = 0;
  int Pumps = 0;
  std::function<void(int)> OnPump;
  std::vector<std::string> BusyLog;    // "show <caption>" / "hide"
  std::vector<TBox> Boxes;
  std::deque<int> Answers;             // message-box results; OK when empty

  void SetStatusText(int Panel, const std::string& Text) override {
    Panels[Panel] = Text;
    if (Panel == 1) PanelLog.push_back(Text);
  }
  std::string StatusText(int Panel) const override { return Panels[Panel]; }
  void PumpMessages() override {
    ++Pumps;
    if (OnPump) OnPump(Pumps);
  }
  void SetProgress(int Position) override {
    Bar = Position;
    ProgressLog.push_back(Position);
  }
  int Progress() const override { return Bar; }
  void ShowBusyPanel(const std::string& Caption) override { BusyLog.push_back("show " + Caption); }
  void HideBusyPanel() override { BusyLog.push_back("hide"); }
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override {
    Boxes.push_back({Text, Caption, Flags});
    if (Answers.empty()) return MB_RESULT_OK;
    const int Answer = Answers.front();
    Answers.pop_front();
    return Answer;
  }
  void SetWindowCaption(const std::string&) override {}

  // How many panel-1 texts began with Prefix.
  int CountTexts(const std::string& Prefix) const {
    int Count = 0;
    for (const std::string& Text : PanelLog)
      if (Text.rfind(Prefix, 0) == 0) ++Count;
    return Count;
  }
};
