// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/form/Binding.h"

// The forms on Qt Widgets: TQtMainWindow for "MainForm", TQtIOTestWindow for
// "IOTestForm", QTimer timers, and one pass of Qt's event loop per pump.
// A QApplication must exist while it is used.
class TQtBinding : public TBinding {
public:
  std::unique_ptr<TFormWindow> CreateFormWindow(const std::string& FormName, TFormWindow* Owner) override;
  std::unique_ptr<TTimer> CreateTimer() override;
  void ProcessMessages() override;
  bool ControlKeyHeld() const override;
  std::string ProgramFile() const override;
};
