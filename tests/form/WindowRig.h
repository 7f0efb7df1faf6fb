// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/form/MainForm.h"
#include "app/memory/MemoryBinding.h"
#include "app/memory/ScriptedDialogs.h"
#include "core/link/EmulatedLinkPort.h"
#include "emulator/CableEmulator.h"
#include "tests/support/Wire.h"

// The window's form on the in-memory binding and an emulated cable with
// scripted dialogs, every transfer logged.
class TWindowRig {
public:
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TScriptedDialogs Dialogs;
  TMemoryBinding Binding;
  std::unique_ptr<TMainForm> Form;

  TWindowRig() { Cable.EnableLog(true); }
  ~TWindowRig() {
    if (Form) Form->State().Operating = false;
  }

  // Creates and shows the window and lets it reach its first idle moment.
  bool Start(const std::vector<std::string>& Arguments = {}) {
    Form = std::make_unique<TMainForm>(Binding, Port, Dialogs, Arguments);
    Form->Show();
    Binding.Settle();
    return Form->FirstIdleDone();
  }

  void PutGame(uint32_t Address, const std::string& Title, uint8_t SizeCode) {
    PutGameHeader(Card.Flash(), Address, Title, SizeCode);
  }

  std::string SentCodes() { return ::SentCodes(Cable); }

  // The flash address of every probe sent since the last call.
  std::vector<uint32_t> ProbeAddresses() {
    std::vector<uint32_t> Addresses;
    for (const TTransfer& Transfer : Cable.TakeLog())
      if (!Transfer.In && Transfer.Bytes.size() == 9 && Transfer.Bytes[0] == 0xFF)
        Addresses.push_back(uint32_t(Transfer.Bytes[1]) << 24 | uint32_t(Transfer.Bytes[2]) << 16 |
                            uint32_t(Transfer.Bytes[3]) << 8 | Transfer.Bytes[4]);
    return Addresses;
  }

  std::string Panel(int Index) { return Form->FrontEnd().StatusText(Index); }

  // A control of the window by name, as its kind.
  template <typename T>
  T& Control(const std::string& Name) {
    return Form->FormWindow().Get<T>(Name);
  }
  // The text of one cell of a list row.
  static std::string Cell(const TListView& List, int Row, int Column) {
    return List.Row(Row).at(static_cast<size_t>(Column));
  }
  // A click from the user: only an enabled control takes it.
  bool Click(TControl* Control) { return Binding.UserClick(*Control); }
  // A button made usable as its panel would make it, then clicked.
  void ForceClick(TButton* Button) {
    Button->SetEnabled(true);
    if (Button->OnClick) Button->OnClick();
  }

  // Runs the window's loop until it has nothing more to do for now.
  void Settle() { Binding.Settle(); }
};
