// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLabel>

// A small image that reports clicks (the connection sign of the window).
class TClickImage : public QLabel {
  Q_OBJECT
public:
  explicit TClickImage(QWidget* Parent = nullptr);

signals:
  void clicked();

protected:
  void mouseReleaseEvent(QMouseEvent* Event) override;
};

// The picture shown while a link is open: a small green plug sign.
QPixmap ConnectedPixmap(int Size);
