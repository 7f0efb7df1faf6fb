// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form/Controls.h"

// How a toolkit carries the window's behaviour.
//
// The forms (TMainForm, TIOTestForm) are toolkit-free. Each asks a binding
// for its window by name; the binding builds the window with every control
// the form's table (FormControls.h) lists, under those names, with its own
// looks (geometry, fonts, colours), and hands back the controls through
// TFormWindow::Find. The form then sets the controls' On... events and the
// window's events; the binding calls them when the user acts, and never for
// a disabled control.
//
// A new binding plugs in with three things:
//   1. one class per control kind, implementing the interfaces of
//      Controls.h over its widgets;
//   2. a TFormWindow per form name ("MainForm", "IOTestForm") that creates
//      those controls as the table lists them and forwards the window's
//      events (show, close, keys, right Ctrl, dropped files, device changes);
//   3. a TBinding that makes those windows and timers and runs one pass of
//      its event loop on ProcessMessages.
// Then: TMainForm Form(Binding, Port, Dialogs, Arguments); Form.Show(); and
// the binding's own event loop until the window closes. Modal boxes and file
// choosers come separately, as a TDialogs.

// The window itself, as the form sees it.
class TWindow {
public:
  virtual ~TWindow() = default;
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual std::string Caption() const = 0;
  // Shows the window; the first show calls OnShow, and OnFirstIdle once the
  // event loop first runs out of work after it.
  virtual void Show() = 0;
  // Shows the window modal to the program and returns once it is closed.
  virtual void ShowModal() = 0;
  // Asks OnCloseQuery; hides (and for a modal window, ends it) when allowed.
  // Returns whether the window closed. The user's close button goes the
  // same way.
  virtual bool Close() = 0;
  virtual bool Visible() const = 0;

  std::function<void()> OnShow;
  std::function<void()> OnFirstIdle;
  std::function<bool()> OnCloseQuery;   // false keeps the window open
  // Every character typed into any control of the window, once, before the
  // control takes it (Esc as 27). Keys that type no character are not sent.
  std::function<void(char Key)> OnKeyPress;
  // The right Ctrl key (told from the left one) went down or up; up also
  // when the program loses the keyboard, as its release then goes elsewhere.
  std::function<void(bool Down)> OnRightControl;
  // Files dropped on the window, whole local names.
  std::function<void(const std::vector<std::string>& Files)> OnDropFiles;
  // The platform's device-change message (its two parameters) where it has
  // one; other platforms report changes through the link's polling.
  std::function<void(uintptr_t WParam, intptr_t LParam)> OnDeviceChange;
};

// One window made by a binding: the window and its controls by name.
class TFormWindow {
public:
  virtual ~TFormWindow() = default;
  virtual TWindow& Window() = 0;
  // The control of that name, or nullptr when the window has none.
  virtual TControl* Find(const std::string& Name) = 0;

  // The control of that name as its kind; throws std::logic_error when the
  // binding lacks it or made it of another kind.
  template <typename T>
  T& Get(const std::string& Name) {
    T* Control = dynamic_cast<T*>(Find(Name));
    if (!Control) MissingControl(Name);
    return *Control;
  }

private:
  [[noreturn]] static void MissingControl(const std::string& Name);
};

// The toolkit.
class TBinding {
public:
  virtual ~TBinding() = default;
  // The window of a form by its name ("MainForm", "IOTestForm"), with all
  // its controls; Owner is the window it belongs to, or nullptr.
  virtual std::unique_ptr<TFormWindow> CreateFormWindow(const std::string& FormName, TFormWindow* Owner) = 0;
  virtual std::unique_ptr<TTimer> CreateTimer() = 0;
  // One full pass of the event loop: what is waiting is handled (clicks,
  // paints, timers), then it returns.
  virtual void ProcessMessages() = 0;
  // Whether a Ctrl key is held right now (either one).
  virtual bool ControlKeyHeld() const = 0;
  // The running program's file, for its version numbers.
  virtual std::string ProgramFile() const = 0;
};
