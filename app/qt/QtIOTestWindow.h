// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

#include "app/qt/QtFormWindow.h"

// TIOTestForm's window in Qt: a fixed dialog with the port edits, the
// controller panel with the value bits, and the direction arrows beside it.
class TQtIOTestWindow : public TQtFormWindow<QDialog> {
public:
  explicit TQtIOTestWindow(QWidget* Owner);

private:
  void CreateControls();
};
