#include "app/support/Panel.h"

#include <QPainter>

TPanel::TPanel(QWidget* Parent) : QFrame(Parent) {}

void TPanel::setText(const QString& Caption) {
  FCaption = Caption;
  update();
}

void TPanel::paintEvent(QPaintEvent* Event) {
  QFrame::paintEvent(Event);
  if (FCaption.isEmpty()) return;
  QPainter Painter(this);
  Painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  Painter.drawText(contentsRect(), Qt::AlignCenter, FCaption);
}
