// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "core/FrontEnd.h"

// A front end that keeps what the card work shows and in which order: each
// pump, and each showing and hiding of the busy panel, as one event.
class TRecordingFrontEnd : public TFrontEnd {
public:
  std::vector<std::string> Events;
  std::string Panels[2];
  bool BusyShown = false;

  void SetStatusText(int Panel, const std::string& Text) override { Panels[Panel] = Text; }
  std::string StatusText(int Panel) const override { return Panels[Panel]; }
  void PumpMessages() override { Events.push_back("pump"); }
  void SetProgress(int) override {}
  int Progress() const override { return 0; }
  void ShowBusyPanel(const std::string& Caption) override {
    BusyShown = true;
    Events.push_back("show " + Caption);
  }
  void HideBusyPanel() override {
    BusyShown = false;
    Events.push_back("hide");
  }
  int ShowMessageBox(const std::string&, const std::string&, int) override { return MB_RESULT_OK; }
  void SetWindowCaption(const std::string&) override {}
};
