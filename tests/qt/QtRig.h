// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QTest>
#include <QWidget>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/form/MainForm.h"
#include "app/memory/ScriptedDialogs.h"
#include "app/qt/QtBinding.h"
#include "core/link/EmulatedLinkPort.h"
#include "emulator/CableEmulator.h"
#include "tests/support/Wire.h"

// The form on the Qt binding and an emulated cable with scripted dialogs.
class TQtRig {
public:
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TScriptedDialogs Dialogs;
  TQtBinding Binding;
  std::unique_ptr<TMainForm> Form;

  TQtRig() { Cable.EnableLog(true); }
  ~TQtRig() {
    if (Form) Form->State().Operating = false;
  }

  // Creates and shows the window and waits for its first idle moment.
  bool Start(const std::vector<std::string>& Arguments = {}) {
    Form = std::make_unique<TMainForm>(Binding, Port, Dialogs, Arguments);
    Form->Show();
    return QTest::qWaitFor([this] { return Form->FirstIdleDone(); }, 5000);
  }

  // The window's widget, and its widgets by name.
  QWidget& Window() { return dynamic_cast<QWidget&>(Form->FormWindow()); }
  template <typename T = QWidget>
  T* Widget(const char* Name) {
    return Window().findChild<T*>(QString::fromLatin1(Name));
  }

  void PutGame(uint32_t Address, const std::string& Title, uint8_t SizeCode) {
    PutGameHeader(Card.Flash(), Address, Title, SizeCode);
  }

  std::string SentCodes() { return ::SentCodes(Cable); }

  std::string Panel(int Index) { return Form->FrontEnd().StatusText(Index); }

  static void Settle() {
    for (int I = 0; I < 5; ++I) QCoreApplication::processEvents();
  }
};
