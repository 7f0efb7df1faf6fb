// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include "core/FrontEnd.h"

// A front end that shows nothing and answers every message box with OK; it
// keeps the last texts, caption and bar position for a test that looks.
class TSilentFrontEnd : public TFrontEnd {
public:
  void SetStatusText(int Panel, const std::string& Text) override { FPanels[Panel & 1] = Text; }
  std::string StatusText(int Panel) const override { return FPanels[Panel & 1]; }
  void PumpMessages() override {}
  void SetProgress(int Position) override { FProgress = Position; }
  int Progress() const override { return FProgress; }
  void ShowBusyPanel(const std::string&) override {}
  void HideBusyPanel() override {}
  int ShowMessageBox(const std::string&, const std::string&, int) override { return MB_RESULT_OK; }
  void SetWindowCaption(const std::string& Caption) override { FCaption = Caption; }

  std::string FPanels[2];
  std::string FCaption;
  int FProgress = 0;
};
