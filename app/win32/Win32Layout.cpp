// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Layout.h"

HWND TWin32Layout::ParentOf(const std::string& Name) {
  for (const TControlInfo& Info : FTable) {
    if (Info.Name != Name) continue;
    if (Info.Parent.empty()) break;
    if (auto* Holder = dynamic_cast<TWin32Handle*>(FWindow.Find(Info.Parent))) return Holder->Handle();
    break;
  }
  return FWindow.Handle();
}

void TWin32Layout::HoldChildren() {
  for (const TControlInfo& Info : FTable) {
    if (Info.Parent.empty() || Info.Kind == TControlKind::MenuItem) continue;
    TControl* Holder = FWindow.Find(Info.Parent);
    TControl* Held = FWindow.Find(Info.Name);
    if (Holder && Held) FWindow.Hold(*Holder, *Held);
  }
}

int TextWidth(HFONT Font, const std::string& Text) {
  HDC Screen = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(Screen, Font);
  SIZE Size{};
  GetTextExtentPoint32A(Screen, Text.c_str(), static_cast<int>(Text.size()), &Size);
  SelectObject(Screen, Old);
  ReleaseDC(nullptr, Screen);
  return Size.cx;
}
