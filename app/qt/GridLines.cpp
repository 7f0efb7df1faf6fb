// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/GridLines.h"

#include <QPainter>

void TGridLinesDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                               const QModelIndex& Index) const {
  QStyledItemDelegate::paint(Painter, Option, Index);
  Painter->save();
  Painter->setPen(Option.palette.color(QPalette::Midlight));
  const QRect& R = Option.rect;
  Painter->drawLine(R.bottomLeft(), R.bottomRight());
  Painter->drawLine(R.topRight(), R.bottomRight());
  Painter->restore();
}
