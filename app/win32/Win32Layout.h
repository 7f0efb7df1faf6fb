// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form/FormControls.h"
#include "app/win32/Win32Window.h"

// Building a form's window from its control table: each control is made on
// the panel or group box the table names (or on the window), and the
// controls a panel holds follow its state.
class TWin32Layout {
public:
  TWin32Layout(TWin32FormWindow& Window, const std::vector<TControlInfo>& Table) : FWindow(Window), FTable(Table) {}
  // The window handle a control of that name is made on.
  HWND ParentOf(const std::string& Name);
  // Takes a made control under its name.
  template <typename T>
  T& Add(const std::string& Name, std::unique_ptr<T> Control) {
    return FWindow.Add(Name, std::move(Control));
  }
  // Once all are made: each panel and group box holds what the table puts
  // on it.
  void HoldChildren();

private:
  TWin32FormWindow& FWindow;
  const std::vector<TControlInfo>& FTable;
};

// A place in the parent's client area: left, top, width, height.
inline RECT Place(int Left, int Top, int Width, int Height) { return RECT{Left, Top, Left + Width, Top + Height}; }

// The text width of Text in Font, in pixels.
int TextWidth(HFONT Font, const std::string& Text);
