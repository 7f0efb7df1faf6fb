// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/ClickImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

TClickImage::TClickImage(QWidget* Parent) : QLabel(Parent) {}

void TClickImage::mouseReleaseEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(Event);
}

QPixmap ConnectedPixmap(int Size) {
  QPixmap Image(Size, Size);
  Image.fill(Qt::transparent);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing, true);
  const qreal S = Size;
  Painter.setPen(QPen(QColor(0x1e, 0x6b, 0x2a), S / 12.0));
  Painter.setBrush(QColor(0x3c, 0xb3, 0x4a));
  Painter.drawEllipse(QRectF(S * 0.08, S * 0.08, S * 0.84, S * 0.84));
  // Two prongs of a plug on the light disc.
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Qt::white);
  Painter.drawRect(QRectF(S * 0.34, S * 0.26, S * 0.09, S * 0.24));
  Painter.drawRect(QRectF(S * 0.57, S * 0.26, S * 0.09, S * 0.24));
  Painter.drawRoundedRect(QRectF(S * 0.28, S * 0.46, S * 0.44, S * 0.22), S * 0.05, S * 0.05);
  return Image;
}
