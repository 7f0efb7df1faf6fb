// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Control.h"

#include <commctrl.h>

#include <map>

HWND CreateChild(const char* Class, const std::string& Text, DWORD Style, DWORD ExStyle, HWND Parent, RECT Where,
                 HFONT Font) {
  HWND Child = CreateWindowExA(ExStyle, Class, Text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | Style,
                               Where.left, Where.top, Where.right - Where.left, Where.bottom - Where.top, Parent,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  if (Child && Font) SendMessageA(Child, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  // The platform puts a new child under its siblings; the window's layout
  // lays later controls over earlier ones.
  if (Child) SetWindowPos(Child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return Child;
}

std::string WindowText(HWND Window) {
  const int Length = GetWindowTextLengthA(Window);
  std::string Text(static_cast<size_t>(Length) + 1, '\0');
  Text.resize(static_cast<size_t>(GetWindowTextA(Window, Text.data(), Length + 1)));
  return Text;
}

void SetToolTip(HWND Control, const std::string& Hint) {
  // One tool tip window per top-level window, made when a hint first shows.
  static std::map<HWND, HWND> Tips;
  HWND Root = GetAncestor(Control, GA_ROOT);
  HWND& Tip = Tips[Root];
  if (!Tip || !IsWindow(Tip)) {
    if (Hint.empty()) return;
    Tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Root, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  TOOLINFOA Tool{};
  Tool.cbSize = TTTOOLINFOA_V1_SIZE;
  Tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  Tool.hwnd = Root;
  Tool.uId = reinterpret_cast<UINT_PTR>(Control);
  SendMessageA(Tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&Tool));
  if (Hint.empty()) return;
  Tool.lpszText = const_cast<char*>(Hint.c_str());
  SendMessageA(Tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&Tool));
}
