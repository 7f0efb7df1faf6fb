// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "core/FrontEnd.h"

// A front end that records what the core shows and answers message boxes
// with a fixed result.
class TTestFrontEnd : public TFrontEnd {
public:
  struct TMessage {
    std::string Text, Caption;
    int Flags;
  };

  std::string Panels[2];
  int StatusWrites = 0;
  std::vector<TMessage> Messages;
  std::vector<std::string> Captions;
  int Answer = MB_RESULT_OK;
  int Position = 0;

  void SetStatusText(int Panel, const std::string& Text) override {
    Panels[Panel] = Text;
    ++StatusWrites;
  }
  std::string StatusText(int Panel) const override { return Panels[Panel]; }
  void PumpMessages() override {}
  void SetProgress(int NewPosition) override { Position = NewPosition; }
  int Progress() const override { return Position; }
  void ShowBusyPanel(const std::string&) override {}
  void HideBusyPanel() override {}
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override {
    Messages.push_back({Text, Caption, Flags});
    return Answer;
  }
  void SetWindowCaption(const std::string& Caption) override { Captions.push_back(Caption); }
};
