// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Handle.h"

#include <map>
#include <string>

namespace {
constexpr const char* HandleProperty = "FlashquillControl";
}  // namespace

TWin32Handle::~TWin32Handle() { DestroyHandle(); }

TWin32Handle* TWin32Handle::Of(HWND Window) {
  if (!Window) return nullptr;
  return static_cast<TWin32Handle*>(GetPropA(Window, HandleProperty));
}

void TWin32Handle::Attach(HWND Window) {
  FHandle = Window;
  if (Window) SetPropA(Window, HandleProperty, this);
}

void TWin32Handle::DestroyHandle() {
  if (!FHandle) return;
  HWND Window = FHandle;
  FHandle = nullptr;
  if (IsWindow(Window)) {
    RemovePropA(Window, HandleProperty);
    DestroyWindow(Window);
  }
}

LRESULT CALLBACK RoutingWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT Result = 0;
  switch (Msg) {
    case WM_COMMAND:
      if (LParam) {
        if (TWin32Handle* Control = TWin32Handle::Of(reinterpret_cast<HWND>(LParam))) {
          Control->Command(HIWORD(WParam));
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      auto* Header = reinterpret_cast<NMHDR*>(LParam);
      if (TWin32Handle* Control = TWin32Handle::Of(Header->hwndFrom))
        if (Control->Notify(Header, Result)) return Result;
      break;
    }
    case WM_DRAWITEM: {
      const auto* Item = reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      if (Item->CtlType != ODT_MENU)
        if (TWin32Handle* Control = TWin32Handle::Of(Item->hwndItem))
          if (Control->DrawItem(*Item)) return TRUE;
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (TWin32Handle* Control = TWin32Handle::Of(reinterpret_cast<HWND>(LParam)))
        if (HBRUSH Brush = Control->StaticColours(reinterpret_cast<HDC>(WParam)))
          return reinterpret_cast<LRESULT>(Brush);
      break;
    case WM_CONTEXTMENU:
      if (TWin32Handle* Control = TWin32Handle::Of(reinterpret_cast<HWND>(WParam)))
        if (Control->ContextMenu(static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam)))) return 0;
      break;
    default:
      break;
  }
  if (TWin32Handle* Self = TWin32Handle::Of(Window))
    if (Self->Message(Msg, WParam, LParam, Result)) return Result;
  return DefWindowProcA(Window, Msg, WParam, LParam);
}

const char* RoutedClass(const char* Name, UINT Style) {
  static std::map<std::string, bool> Registered;
  if (!Registered[Name]) {
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.style = Style;
    Class.lpfnWndProc = RoutingWindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = Name;
    Class.hIcon = LoadIconA(Class.hInstance, MAKEINTRESOURCEA(1));
    RegisterClassExA(&Class);
    Registered[Name] = true;
  }
  return Name;
}
