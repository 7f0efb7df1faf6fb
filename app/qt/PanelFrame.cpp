// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/PanelFrame.h"

#include <QPainter>

TPanelFrame::TPanelFrame(QWidget* Parent) : QFrame(Parent) {}

void TPanelFrame::setText(const QString& Caption) {
  FCaption = Caption;
  update();
}

void TPanelFrame::paintEvent(QPaintEvent* Event) {
  QFrame::paintEvent(Event);
  if (FCaption.isEmpty()) return;
  QPainter Painter(this);
  Painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  Painter.drawText(contentsRect(), Qt::AlignCenter, FCaption);
}
