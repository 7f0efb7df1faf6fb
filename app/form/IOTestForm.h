// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/form/Binding.h"
#include "app/form/Controls.h"
#include "app/form/PortPins.h"

class TLink;

// The port test window, without a toolkit: shows and sets the direction and
// value bytes of the four ports P0 to P3 of the cable's controller, pin by
// pin. It talks to the cable only through the main window's link (set-ports,
// get-ports), whose failures show in the main window's status bar; it makes
// no checks of its own and never touches Operating. Made fresh for each
// opening and shown modally; nothing carries over to the next one.
class TIOTestForm {
public:
  static constexpr int PortCount = ::PortCount;
  static constexpr const int* PinCount = ::PinCount;
  // Port image offsets: direction bytes 0..3, value bytes 4..7.
  static constexpr int ValueOffset = 4;
  // The caption of the panel that stands for the controller.
  static constexpr const char* ControllerPartNumber = "BW-U238";

  TIOTestForm(TBinding& Binding, TLink& Link, TFormWindow* Owner = nullptr);
  ~TIOTestForm();

  TFormWindow& FormWindow() { return *FWindow; }
  TWindow& Window() { return FWindow->Window(); }
  void ShowModal() { Window().ShowModal(); }
  bool Close() { return Window().Close(); }

  // Controls, named as the window names them.
  TEdit* edP0IO = nullptr;
  TEdit* edP1IO = nullptr;
  TEdit* edP2IO = nullptr;
  TEdit* edP3IO = nullptr;
  TEdit* edP0 = nullptr;
  TEdit* edP1 = nullptr;
  TEdit* edP2 = nullptr;
  TEdit* edP3 = nullptr;
  TButton* P0IO = nullptr;
  TButton* P1IO = nullptr;
  TButton* P2IO = nullptr;
  TButton* P3IO = nullptr;
  TButton* btnWrite = nullptr;
  TButton* btnRead = nullptr;
  TCheckBox* cbAuto = nullptr;
  TSpinEdit* seAuto = nullptr;
  std::unique_ptr<TTimer> Timer1;
  TPanel* Panel1 = nullptr;

  // The bit buttons of a port, topmost (highest bit) first: P07IO .. P00IO,
  // P07 .. P00, ..., P35IO .. P30IO, P35 .. P30.
  const std::vector<TButton*>& DirectionButtons(int Port) const { return FDirection[Port]; }
  const std::vector<TButton*>& ValueButtons(int Port) const { return FValue[Port]; }
  TButton* GroupButton(int Port) const { return FGroup[Port]; }
  TEdit* DirectionEdit(int Port) const { return FDirectionEdit[Port]; }
  TEdit* ValueEdit(int Port) const { return FValueEdit[Port]; }
  // The bit a button of a port stands for (its row from the top gives it).
  static int BitOfRow(int Port, int Row) { return ::BitOfRow(Port, Row); }

  // Handlers, named after control and event.
  void FormShow();
  void FormKeyPress(char Key);
  void btnReadClick();
  void btnWriteClick();
  void P07IOClick(TButton* Sender);
  void P07Click(TButton* Sender);
  void P0IOClick();
  void P1IOClick();
  void P2IOClick();
  void P3IOClick();
  void cbAutoClick();
  void Timer1Timer();

  // The image the bit buttons show, written to the edits, sent, and read back twice.
  void ApplyButtons();

private:
  void FindControls();
  void BindEvents();
  void GroupClick(int Port, const std::string& OnCaption, const std::string& OffCaption);
  int AutoPeriod() const;

  TLink& FLink;
  std::unique_ptr<TFormWindow> FWindow;
  std::array<std::vector<TButton*>, PortCount> FDirection;
  std::array<std::vector<TButton*>, PortCount> FValue;
  std::array<TButton*, PortCount> FGroup{};
  std::array<TEdit*, PortCount> FDirectionEdit{};
  std::array<TEdit*, PortCount> FValueEdit{};
};
