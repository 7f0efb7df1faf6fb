// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "app/form/Binding.h"

class QCloseEvent;
class QKeyEvent;
class QShowEvent;

// What a form's Qt window does for every form: it keeps the controls'
// adapters by name, and turns Qt's window events into the form's (first
// show, first idle moment, close question, keys typed anywhere in it, the
// right Ctrl key). TWidget is QWidget or QDialog.
template <typename TWidget>
class TQtFormWindow : public TWidget, public TFormWindow, public TWindow {
public:
  explicit TQtFormWindow(QWidget* Parent, Qt::WindowFlags Flags);
  ~TQtFormWindow() override;

  // TFormWindow
  TWindow& Window() override { return *this; }
  TControl* Find(const std::string& Name) override;
  // TWindow
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;
  void Show() override { TWidget::show(); }
  void ShowModal() override;
  bool Close() override { return TWidget::close(); }
  bool Visible() const override { return TWidget::isVisible(); }

protected:
  // Keeps Control under Name; returns it.
  template <typename T>
  T* Keep(const std::string& Name, std::unique_ptr<T> Control) {
    T* Kept = Control.get();
    FControls[Name] = std::move(Control);
    return Kept;
  }
  // Whether Esc is taken here, so the toolkit does not close the window
  // itself around the close question.
  bool FTakeEscape = false;

  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  bool TrackKey(QObject* Watched, QEvent* Event);

  std::map<std::string, std::unique_ptr<TControl>> FControls;
  bool FShown = false;
  // The key event last handled and the widget it was handled for: the same
  // event handed on to a parent widget is not seen twice.
  const QEvent* FLastKeyEvent = nullptr;
  quint64 FLastKeyTime = 0;
  QObject* FLastKeyReceiver = nullptr;
};
