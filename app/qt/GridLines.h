// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QStyledItemDelegate>

// Draws the cells of a report-style list with thin grid lines between rows
// and columns.
class TGridLinesDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
};
