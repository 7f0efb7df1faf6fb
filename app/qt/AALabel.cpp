// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/AALabel.h"

#include <QMouseEvent>
#include <QPainter>

TAALabel::TAALabel(const QString& Caption, QWidget* Parent) : QWidget(Parent), FCaption(Caption) {
  QFont Caption24(QStringLiteral("Arial"));
  Caption24.setPixelSize(24);
  Caption24.setBold(true);
  setFont(Caption24);
}

void TAALabel::paintEvent(QPaintEvent*) {
  QPainter Painter(this);
  Painter.setRenderHint(QPainter::TextAntialiasing, true);
  Painter.setFont(font());
  const QRect Area = rect().adjusted(2, 0, -2, -2);
  const int Flags = Qt::AlignLeft | Qt::AlignVCenter;
  // The shadow first, offset and lighter, then the caption over it.
  QColor Shadow = palette().color(QPalette::WindowText);
  Shadow.setAlpha(70);
  Painter.setPen(Shadow);
  Painter.drawText(Area.translated(2, 2), Flags, FCaption);
  Painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  Painter.drawText(Area, Flags, FCaption);
}

void TAALabel::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) emit doubleClicked();
}
