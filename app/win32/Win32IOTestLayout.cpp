// SPDX-License-Identifier: GPL-3.0-or-later
// The port test window's controls: where they sit and how they look at start.
#include <string>

#include "app/form/PortPins.h"
#include "app/win32/Win32Binding.h"
#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Layout.h"
#include "app/win32/Win32Window.h"

namespace {

constexpr int ClientWidth = 308;
constexpr int ClientHeight = 387;

// The controller panel and the rows of pins level with its buttons.
constexpr int PanelLeft = 96, PanelTop = 88, PanelWidth = 113, PanelHeight = 289;
constexpr int PanelRight = PanelLeft + PanelWidth - 1;
constexpr int RowPitch = 17;
constexpr int GroupPitch = 8 * RowPitch + 8;   // from one port's first row to the next one's
constexpr int FirstRow = 5;                    // inside the panel
constexpr int BitButtonWidth = 22;
constexpr int ArrowWidth = 30;
constexpr int PinLabelWidth = 36;
constexpr int GroupButtonWidth = 18;

// The window y of a pin row: two ports a side, the upper one first.
int RowTop(int Port, int Row) { return PanelTop + FirstRow + (Port % 2) * GroupPitch + Row * RowPitch; }

}  // namespace

std::unique_ptr<TWin32FormWindow> BuildIOTestFormWindow(TWin32Binding& Binding, HWND Owner) {
  auto Form = std::make_unique<TWin32FormWindow>(Binding, ClientWidth, ClientHeight, Owner);
  TWin32FormWindow& W = *Form;
  TWin32Layout L(W, IOTestFormControls());
  const HFONT Plain = W.WindowFont();
  const HWND Window = W.Handle();
  W.Window().SetCaption("IO Test");
  using TStyle = TWin32Button::TStyle;
  auto Caption = [&](const std::string& Text, RECT Where, DWORD Align = SS_LEFT) {
    auto Made = std::make_unique<TWin32Label>(Window, Where, Plain, Text, Align);
    TWin32Label& Label = *Made;
    W.Keep(std::move(Made));
    return &Label;
  };

  // Top strip: the direction edits, under them the value edits, then the
  // buttons of the exchanges.
  for (int Port = 0; Port < PortCount; ++Port) {
    const int Left = 6 + Port * 76;
    const std::string P = PortName(Port);
    TWin32Label* DirectionLabel = Caption(P + "IO", Place(Left, 8, 30, 18));
    Caption(P, Place(Left, 34, 30, 18));
    auto& Direction = L.Add(DirectionEditName(Port),
                            std::make_unique<TWin32Edit>(Window, Place(Left + 32, 6, 34, 22), Plain, "FF", 2));
    L.Add(ValueEditName(Port), std::make_unique<TWin32Edit>(Window, Place(Left + 32, 32, 34, 22), Plain, "FF", 2));
    // P3's direction byte is kept but not offered.
    if (Port == 3) {
      Direction.SetVisible(false);
      DirectionLabel->SetVisible(false);
    }
  }
  L.Add("btnWrite", std::make_unique<TWin32Button>(Window, Place(6, 58, 60, 24), Plain, "Write"));
  L.Add("btnRead", std::make_unique<TWin32Button>(Window, Place(70, 58, 60, 24), Plain, "Read"));
  L.Add("cbAuto", std::make_unique<TWin32CheckBox>(Window, Place(140, 60, 80, 20), Plain, "Auto read"));
  L.Add("seAuto", std::make_unique<TWin32SpinEdit>(Window, Place(222, 59, 80, 22), Plain)).SetValue(1000);

  // Centre: the controller with the value buttons, P0 and P1 down its left
  // side, P2 and P3 down its right side.
  auto& Panel1 = L.Add("Panel1", std::make_unique<TWin32Panel>(Window, Place(PanelLeft, PanelTop, PanelWidth, PanelHeight),
                                                             Plain, "BW-U238", TWin32Panel::TFrame::RaisedTwice));
  for (int Port = 0; Port < PortCount; ++Port) {
    const bool LeftSide = Port < 2;
    const std::string P = PortName(Port);
    const int ValueLeft = LeftSide ? 4 : PanelWidth - 4 - BitButtonWidth;
    const int ArrowLeftEdge = LeftSide ? PanelLeft - 2 - ArrowWidth : PanelRight + 3;
    const int LabelLeft = LeftSide ? ArrowLeftEdge - 4 - PinLabelWidth : ArrowLeftEdge + ArrowWidth + 4;
    const int GroupLeft = LeftSide ? 4 : ClientWidth - 4 - GroupButtonWidth;
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      const int Top = RowTop(Port, Row);
      L.Add(ValueButtonName(Port, Row),
            std::make_unique<TWin32Button>(Panel1.Handle(), Place(ValueLeft, Top - PanelTop, BitButtonWidth, RowPitch - 1),
                                           Plain, "1", TStyle::Toggle));
      auto& Direction = L.Add(DirectionButtonName(Port, Row),
                              std::make_unique<TWin32Button>(Window, Place(ArrowLeftEdge, Top, ArrowWidth, RowPitch - 1),
                                                             Plain, LeftSide ? "->" : "<-", TStyle::Flat));
      // P3's directions are kept but not offered; its pin names stay.
      if (Port == 3) Direction.SetVisible(false);
      // Each pin name sits over a short line that runs from it to its arrow.
      Caption(P + "." + std::to_string(BitOfRow(Port, Row)), Place(LabelLeft, Top - 2, PinLabelWidth, 14),
              LeftSide ? SS_LEFT : SS_RIGHT);
      W.Keep(std::make_unique<TWin32Look>(CreateChild("STATIC", "", SS_ETCHEDHORZ, 0, Window,
                                                      Place(LeftSide ? LabelLeft : LabelLeft - 4, Top + 11, PinLabelWidth + 4, 2),
                                                      nullptr)));
    }
    auto& Group = L.Add(GroupButtonName(Port),
                        std::make_unique<TWin32Button>(Window, Place(GroupLeft, RowTop(Port, 0), GroupButtonWidth,
                                                                     PinCount[Port] * RowPitch - 1),
                                                       Plain, "<->", TStyle::Flat));
    if (Port == 3) Group.SetVisible(false);
  }
  L.HoldChildren();
  return Form;
}
