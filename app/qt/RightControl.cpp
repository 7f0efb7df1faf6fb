// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/RightControl.h"

#include <QKeyEvent>

namespace {
constexpr quint32 XkControlR = 0xffe4;        // X11 key symbol Control_R
constexpr quint32 XKeycodeControlR = 105;     // its evdev key code + 8
constexpr quint32 WinScanControlR = 0x11d;    // scan code 0x1d with the extended bit
constexpr quint32 WinVkRControl = 0xa3;       // VK_RCONTROL, when a platform reports it
constexpr quint32 MacVkRightControl = 0x3e;   // kVK_RightControl
}  // namespace

bool IsRightControlKey(const QKeyEvent& Event) {
  if (Event.key() != Qt::Key_Control && Event.key() != Qt::Key_Meta) return false;
#if defined(Q_OS_WIN)
  return Event.nativeScanCode() == WinScanControlR || Event.nativeVirtualKey() == WinVkRControl;
#elif defined(Q_OS_MACOS)
  return Event.nativeVirtualKey() == MacVkRightControl;
#else
  (void)WinScanControlR;
  (void)WinVkRControl;
  (void)MacVkRightControl;
  return Event.nativeVirtualKey() == XkControlR || Event.nativeScanCode() == XKeycodeControlR;
#endif
}
