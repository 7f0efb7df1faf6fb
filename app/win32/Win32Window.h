// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/form/Binding.h"
#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Handle.h"

class TWin32Binding;

// A top-level window of a form: a fixed-size frame around a client area of
// the given size, with the form's platform messages.
class TWin32Window : public TWindow, public TWin32Handle {
public:
  TWin32Window(TWin32Binding& Binding, int ClientWidth, int ClientHeight, HWND Owner, HFONT Font);
  ~TWin32Window() override;
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  void Show() override;
  void ShowModal() override;
  bool Close() override;
  bool Visible() const override { return FVisible; }
  bool Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  // Device-change messages for the cable's driver interface, and files
  // dropped from the shell (the main window's).
  void AcceptDevicesAndFiles();
  // The status bar that keeps to the window's foot.
  TWin32StatusBar* StatusBar = nullptr;
  // Keyboard state the binding's loop tracks for the window.
  bool RightControlHeld = false;

private:
  TWin32Binding& FBinding;
  HWND FOwner;
  std::string FCaption;
  bool FVisible = false;
  bool FShown = false;
  bool FModal = false;
  HDEVNOTIFY FDeviceNotify = nullptr;
};

// One form's window and its controls by name.
class TWin32FormWindow : public TFormWindow {
public:
  TWin32FormWindow(TWin32Binding& Binding, int ClientWidth, int ClientHeight, HWND Owner);
  ~TWin32FormWindow() override;
  TWindow& Window() override { return *FWindow; }
  TWin32Window& Win32Window() { return *FWindow; }
  HWND Handle() const { return FWindow->Handle(); }
  TControl* Find(const std::string& Name) override;

  // Takes a control made for this window: under Name when the form knows
  // it by a name, as looks only when Name is empty.
  template <typename T>
  T& Add(const std::string& Name, std::unique_ptr<T> Control) {
    T& Made = *Control;
    if (!Name.empty()) FByName[Name] = &Made;
    FOwned.push_back(std::move(Control));
    return Made;
  }
  // A control this window does not own (a menu's item) under its name.
  void Name(const std::string& Name, TControl& Control) { FByName[Name] = &Control; }
  // Looks only: lines and captions the form never touches.
  void Keep(std::unique_ptr<TWin32Handle> Look) { FLooks.push_back(std::move(Look)); }
  // The window's fonts, made once and freed with it; a null Family is the
  // window's own.
  HFONT Font(const char* Family, int PixelHeight, bool Bold);
  HFONT WindowFont() const { return FWindowFont; }
  std::unique_ptr<TWin32PopupMenu> PopupMenu;       // the queue's
  std::unique_ptr<TWin32PopupMenu> CardPopupMenu;   // the card list's
  // The named controls that a panel or group box holds take over its state.
  void Hold(TControl& Holder, TControl& Held);

private:
  std::vector<HFONT> FFonts;
  HFONT FWindowFont;
  std::unique_ptr<TWin32Window> FWindow;
  std::map<std::string, TControl*> FByName;
  std::vector<std::unique_ptr<TControl>> FOwned;
  std::vector<std::unique_ptr<TWin32Handle>> FLooks;
};
