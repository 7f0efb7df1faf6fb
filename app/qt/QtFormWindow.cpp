// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtFormWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QShowEvent>
#include <QTimer>

#include "app/qt/QtControls.h"
#include "app/qt/RightControl.h"

namespace {
constexpr char EscapeKey = 27;
}

template <typename TWidget>
TQtFormWindow<TWidget>::TQtFormWindow(QWidget* Parent, Qt::WindowFlags Flags) : TWidget(Parent, Flags) {
  // Every key typed into any control of the window passes by here first.
  QApplication::instance()->installEventFilter(this);
}

template <typename TWidget>
TQtFormWindow<TWidget>::~TQtFormWindow() {
  QApplication::instance()->removeEventFilter(this);
  // The widgets go first: a list empties itself while it is destroyed, and
  // its adapter must still be there to hear of it.
  for (QObject* Child : TWidget::children())
    if (Child->isWidgetType()) delete Child;
  FControls.clear();
}

template <typename TWidget>
TControl* TQtFormWindow<TWidget>::Find(const std::string& Name) {
  const auto Found = FControls.find(Name);
  return Found == FControls.end() ? nullptr : Found->second.get();
}

template <typename TWidget>
void TQtFormWindow<TWidget>::SetCaption(const std::string& Caption) {
  TWidget::setWindowTitle(ToQt(Caption));
}

template <typename TWidget>
std::string TQtFormWindow<TWidget>::Caption() const {
  return FromQt(TWidget::windowTitle());
}

template <typename TWidget>
void TQtFormWindow<TWidget>::ShowModal() {
  if constexpr (std::is_base_of_v<QDialog, TWidget>) {
    TWidget::exec();
  } else {
    TWidget::setWindowModality(Qt::ApplicationModal);
    TWidget::show();
    QEventLoop Loop;
    QObject::connect(this, &QObject::destroyed, &Loop, &QEventLoop::quit);
    while (TWidget::isVisible()) Loop.processEvents(QEventLoop::WaitForMoreEvents);
  }
}

template <typename TWidget>
void TQtFormWindow<TWidget>::showEvent(QShowEvent* Event) {
  TWidget::showEvent(Event);
  if (Event->spontaneous() || FShown) return;
  FShown = true;
  if (OnShow) OnShow();
  QTimer::singleShot(0, this, [this] {
    if (OnFirstIdle) OnFirstIdle();
  });
}

template <typename TWidget>
void TQtFormWindow<TWidget>::closeEvent(QCloseEvent* Event) {
  if (!OnCloseQuery || OnCloseQuery())
    TWidget::closeEvent(Event);
  else
    Event->ignore();
}

template <typename TWidget>
bool TQtFormWindow<TWidget>::TrackKey(QObject* Watched, QEvent* Event) {
  auto* Key = static_cast<QKeyEvent*>(Event);
  if (IsRightControlKey(*Key)) {
    if (!Key->isAutoRepeat() && OnRightControl) OnRightControl(Event->type() == QEvent::KeyPress);
    return false;
  }
  if (Event->type() != QEvent::KeyPress) return false;
  // A key the focused control does not take is handed on to its parents:
  // it is still one key typed, seen here once more for each parent.
  if (Event == FLastKeyEvent && Key->timestamp() == FLastKeyTime && FLastKeyReceiver && Watched != FLastKeyReceiver) {
    for (QObject* Up = FLastKeyReceiver->parent(); Up; Up = Up->parent())
      if (Up == Watched) return false;
  }
  FLastKeyEvent = Event;
  FLastKeyTime = Key->timestamp();
  FLastKeyReceiver = Watched;
  if (Key->key() == Qt::Key_Escape) {
    if (OnKeyPress) OnKeyPress(EscapeKey);
    return FTakeEscape;
  }
  const QString Text = Key->text();
  if (Text.isEmpty()) return false;   // Shift, arrows and the like type no character
  const QChar Typed = Text.front();
  if (OnKeyPress) OnKeyPress(Typed.unicode() < 256 ? static_cast<char>(Typed.unicode()) : '\0');
  return false;
}

template <typename TWidget>
bool TQtFormWindow<TWidget>::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (Watched->isWidgetType() && static_cast<QWidget*>(Watched)->window() == this && TrackKey(Watched, Event))
        return true;
      break;
    case QEvent::ApplicationDeactivate:
      // The right Ctrl key's release goes to another program.
      if (OnRightControl) OnRightControl(false);
      break;
    default:
      break;
  }
  return TWidget::eventFilter(Watched, Event);
}

template class TQtFormWindow<QWidget>;
template class TQtFormWindow<QDialog>;
