// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Binding.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Window.h"

namespace {
// The most messages one pass handles, so that a flood (timers, paints)
// cannot hold the work that pumps.
constexpr int MessagesPerPass = 256;
}  // namespace

TWin32Binding::TWin32Binding() {
  INITCOMMONCONTROLSEX Controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                                    ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&Controls);
}

std::unique_ptr<TFormWindow> TWin32Binding::CreateFormWindow(const std::string& FormName, TFormWindow* Owner) {
  HWND OwnerHandle = nullptr;
  if (auto* Win32Owner = dynamic_cast<TWin32FormWindow*>(Owner)) OwnerHandle = Win32Owner->Handle();
  if (FormName == "MainForm") return BuildMainFormWindow(*this);
  if (FormName == "IOTestForm") return BuildIOTestFormWindow(*this, OwnerHandle);
  throw std::logic_error("no window for the form " + FormName);
}

std::unique_ptr<TTimer> TWin32Binding::CreateTimer() { return std::make_unique<TWin32Timer>(); }

bool TWin32Binding::ControlKeyHeld() const { return GetKeyState(VK_CONTROL) < 0; }

std::string TWin32Binding::ProgramFile() const {
  std::string File(MAX_PATH, '\0');
  for (;;) {
    const DWORD Length = GetModuleFileNameA(nullptr, File.data(), static_cast<DWORD>(File.size()));
    if (Length < File.size()) {
      File.resize(Length);
      return File;
    }
    File.resize(File.size() * 2);
  }
}

void TWin32Binding::WindowMade(TWin32Window& Window) { FWindows.push_back(&Window); }

void TWin32Binding::WindowGone(TWin32Window& Window) {
  FWindows.erase(std::remove(FWindows.begin(), FWindows.end(), &Window), FWindows.end());
  FIdleDue.erase(std::remove(FIdleDue.begin(), FIdleDue.end(), &Window), FIdleDue.end());
}

void TWin32Binding::FirstIdleDue(TWin32Window& Window) { FIdleDue.push_back(&Window); }

TWin32Window* TWin32Binding::WindowOf(HWND Handle) const {
  HWND Root = Handle ? GetAncestor(Handle, GA_ROOT) : nullptr;
  for (TWin32Window* Window : FWindows)
    if (Window->Handle() == Root) return Window;
  return nullptr;
}

void TWin32Binding::Handle(MSG& Message) {
  if (Message.message == WM_QUIT) {
    FQuit = true;
    return;
  }
  TWin32Window* Window = WindowOf(Message.hwnd);
  if (Window) {
    const UINT Kind = Message.message;
    // The right Ctrl key, told from the left one by the extended-key bit;
    // held keys repeat their key-down, which counts once.
    if ((Kind == WM_KEYDOWN || Kind == WM_KEYUP || Kind == WM_SYSKEYDOWN || Kind == WM_SYSKEYUP) &&
        Message.wParam == VK_CONTROL && (Message.lParam & (1 << 24))) {
      const bool Down = Kind == WM_KEYDOWN || Kind == WM_SYSKEYDOWN;
      if (Down != Window->RightControlHeld) {
        Window->RightControlHeld = Down;
        if (Window->OnRightControl) Window->OnRightControl(Down);
      }
    }
    // Every typed character goes to the window before the control has it.
    if (Kind == WM_CHAR && Message.wParam < 256 && Window->OnKeyPress) {
      Window->OnKeyPress(static_cast<char>(Message.wParam));
      if (!IsWindow(Message.hwnd)) return;
    }
    // Tab and Shift+Tab move the focus between the window's controls.
    if (Kind == WM_KEYDOWN && Message.wParam == VK_TAB && IsDialogMessageA(Window->Handle(), &Message)) return;
  }
  TranslateMessage(&Message);
  DispatchMessageA(&Message);
}

void TWin32Binding::RunIdle() {
  if (FInIdle) return;
  FInIdle = true;
  while (!FIdleDue.empty()) {
    TWin32Window* Window = FIdleDue.front();
    FIdleDue.erase(FIdleDue.begin());
    if (Window->OnFirstIdle) Window->OnFirstIdle();
  }
  FInIdle = false;
}

void TWin32Binding::ProcessMessages() {
  MSG Message;
  for (int Handled = 0; Handled < MessagesPerPass && PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE); ++Handled) {
    if (Message.message == WM_QUIT) {
      FQuit = true;
      PostQuitMessage(static_cast<int>(Message.wParam));   // for the loop that ends the program
      break;
    }
    Handle(Message);
  }
  RunIdle();
}

bool TWin32Binding::WaitAndHandle() {
  MSG Message;
  if (!PeekMessageA(&Message, nullptr, 0, 0, PM_NOREMOVE)) {
    RunIdle();
    if (!PeekMessageA(&Message, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
  }
  if (!PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) return !FQuit;
  Handle(Message);
  return !FQuit;
}

void TWin32Binding::Run(TWindow& Window) {
  while (Window.Visible() && WaitAndHandle()) {
  }
}
