// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtBinding.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include "app/qt/QtControls.h"
#include "app/qt/QtIOTestWindow.h"
#include "app/qt/QtMainWindow.h"

std::unique_ptr<TFormWindow> TQtBinding::CreateFormWindow(const std::string& FormName, TFormWindow* Owner) {
  if (FormName == "MainForm") return std::make_unique<TQtMainWindow>();
  if (FormName == "IOTestForm") return std::make_unique<TQtIOTestWindow>(dynamic_cast<QWidget*>(Owner));
  return nullptr;
}

std::unique_ptr<TTimer> TQtBinding::CreateTimer() { return std::make_unique<TQtTimer>(); }

void TQtBinding::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

bool TQtBinding::ControlKeyHeld() const {
  return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}

std::string TQtBinding::ProgramFile() const { return FromQt(QCoreApplication::applicationFilePath()); }
