// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QKeyEvent;

// Whether a key event is the right Ctrl key, told apart from the left one by
// the platform's own key number: the X11/Wayland key symbol Control_R or its
// key code, the Windows scan code with the extended-key bit, the macOS
// virtual key code.
bool IsRightControlKey(const QKeyEvent& Event);
