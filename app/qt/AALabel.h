// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QWidget>

// The window's title caption: smooth large text with a soft shadow below
// and to the right of it. A double-click is reported to the window.
class TAALabel : public QWidget {
  Q_OBJECT
public:
  explicit TAALabel(const QString& Caption, QWidget* Parent = nullptr);
  QString text() const { return FCaption; }
  void setText(const QString& Caption) {
    FCaption = Caption;
    update();
  }

signals:
  void doubleClicked();

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

private:
  QString FCaption;
};
