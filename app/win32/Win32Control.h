// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "app/form/Controls.h"
#include "app/win32/Win32Handle.h"

// Creates a child window of this binding: class, text, style, parent, its
// place in the parent's client area, and its font.
HWND CreateChild(const char* Class, const std::string& Text, DWORD Style, DWORD ExStyle, HWND Parent, RECT Where,
                 HFONT Font);

// Shows Hint as the tool tip of a control (none for an empty text).
void SetToolTip(HWND Control, const std::string& Hint);

std::string WindowText(HWND Window);

// What every control of this binding has: its window, its own visible and
// enabled states, and for panels and group boxes the controls they hold,
// which take over their enabled state and focusability.
template <typename TBase>
class TWin32Control : public TBase, public TWin32Handle {
public:
  void SetVisible(bool Visible) override {
    FVisible = Visible;
    ShowWindow(Handle(), Visible ? SW_SHOWNA : SW_HIDE);
  }
  bool Visible() const override { return FVisible; }
  void SetEnabled(bool Enabled) override {
    FEnabled = Enabled;
    EnableWindow(Handle(), Enabled);
    for (TControl* Child : Children) Child->SetEnabled(Enabled);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
  bool Enabled() const override { return FEnabled; }
  void BringToFront() override {
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  void SetFocusable(bool Focusable) override {
    LONG_PTR Style = GetWindowLongPtrA(Handle(), GWL_STYLE);
    Style = Focusable && FTakesFocus ? (Style | WS_TABSTOP) : (Style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(Handle(), GWL_STYLE, Style);
    for (TControl* Child : Children) Child->SetFocusable(Focusable);
  }
  void SetHint(const std::string& Hint) override {
    FHint = Hint;
    SetToolTip(Handle(), Hint);
  }
  std::string Hint() const override { return FHint; }

  std::vector<TControl*> Children;   // panels and group boxes: what they hold

protected:
  // Takes the window made for this control; TakesFocus: whether Tab stops there.
  void Create(HWND Window, bool TakesFocus) {
    Attach(Window);
    FTakesFocus = TakesFocus;
  }

private:
  bool FVisible = true;
  bool FEnabled = true;
  bool FTakesFocus = false;
  std::string FHint;
};

// A window that is looks only (a line, a caption the form never changes).
class TWin32Look : public TWin32Handle {
public:
  explicit TWin32Look(HWND Window) { Attach(Window); }
};
