// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form/Binding.h"

class TWin32Window;
class TWin32FormWindow;

// The forms on the platform's own windows and common controls, driven by the
// thread's message loop.
class TWin32Binding : public TBinding {
public:
  TWin32Binding();
  std::unique_ptr<TFormWindow> CreateFormWindow(const std::string& FormName, TFormWindow* Owner) override;
  std::unique_ptr<TTimer> CreateTimer() override;
  // Handles what waits in the thread's queue (PeekMessage), then the idle
  // work: the first idle moment of windows just shown.
  void ProcessMessages() override;
  bool ControlKeyHeld() const override;
  std::string ProgramFile() const override;

  // The program's loop: until the window is closed, waits for messages and
  // handles them, with the idle work whenever the queue runs dry.
  void Run(TWindow& Window);
  // Waits for one message and handles it (running the idle work first when
  // none waits); false once the program is asked to quit.
  bool WaitAndHandle();

  // Kept by the windows: which exist, which owe a first idle moment.
  void WindowMade(TWin32Window& Window);
  void WindowGone(TWin32Window& Window);
  void FirstIdleDue(TWin32Window& Window);

private:
  void Handle(MSG& Message);
  void RunIdle();
  TWin32Window* WindowOf(HWND Handle) const;
  std::vector<TWin32Window*> FWindows;
  std::vector<TWin32Window*> FIdleDue;
  bool FInIdle = false;
  bool FQuit = false;
};

// The forms' windows as this binding builds them (Win32MainFormLayout.cpp,
// Win32IOTestLayout.cpp).
std::unique_ptr<TWin32FormWindow> BuildMainFormWindow(TWin32Binding& Binding);
std::unique_ptr<TWin32FormWindow> BuildIOTestFormWindow(TWin32Binding& Binding, HWND Owner);
