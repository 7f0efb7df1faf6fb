// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

#include "app/qt/QtFormWindow.h"

class QDragEnterEvent;
class QDropEvent;

// TMainForm's window in Qt: its controls with their names, places, fonts
// and looks, files dropped on it, and the platform's device-change message.
class TQtMainWindow : public TQtFormWindow<QWidget> {
public:
  TQtMainWindow();

protected:
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  bool nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) override;

private:
  void CreateControls();
};
