// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

// A window handle of this binding with the object that stands behind it.
// The platform reports what happens to a control to its parent (commands,
// notifications, owner drawing, colours); the parent's procedure finds the
// control's object here and hands the message on, so each control handles
// its own.
class TWin32Handle {
public:
  virtual ~TWin32Handle();
  HWND Handle() const { return FHandle; }
  // The object behind a handle of this binding, or nullptr.
  static TWin32Handle* Of(HWND Window);

  // A WM_COMMAND notification from this control (BN_CLICKED, CBN_SELCHANGE).
  virtual void Command(WORD Code) { (void)Code; }
  // A WM_NOTIFY from this control; Result is what the parent returns.
  virtual bool Notify(NMHDR* Header, LRESULT& Result) {
    (void)Header;
    (void)Result;
    return false;
  }
  virtual bool DrawItem(const DRAWITEMSTRUCT& Item) {
    (void)Item;
    return false;
  }
  // WM_CTLCOLORSTATIC for this control: a brush when it sets its own colours.
  virtual HBRUSH StaticColours(HDC Context) {
    (void)Context;
    return nullptr;
  }
  // The user asked for this control's popup menu at screen point X, Y.
  virtual bool ContextMenu(int X, int Y) {
    (void)X;
    (void)Y;
    return false;
  }
  // A message to this window itself (for the window classes of this binding);
  // true when handled, with Result set.
  virtual bool Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    (void)Msg;
    (void)WParam;
    (void)LParam;
    (void)Result;
    return false;
  }

protected:
  void Attach(HWND Window);
  // Destroys the window (and what it holds) unless the platform already did.
  void DestroyHandle();

private:
  HWND FHandle = nullptr;
};

// The procedure of the window classes this binding registers (form windows,
// panels, group boxes, the caption, the connection image): routes the
// children's messages to their objects and the window's own to its object.
LRESULT CALLBACK RoutingWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

// Registers (once) a window class of this binding; returns its name.
const char* RoutedClass(const char* Name, UINT Style = 0);
