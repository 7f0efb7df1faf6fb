// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/ControlLook.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "app/qt/PanelFrame.h"

namespace {

bool IsEditLike(const QWidget* Control) {
  return qobject_cast<const QLineEdit*>(Control) || qobject_cast<const QComboBox*>(Control) ||
         qobject_cast<const QAbstractItemView*>(Control) || qobject_cast<const QAbstractSpinBox*>(Control) ||
         qobject_cast<const QTextEdit*>(Control) || qobject_cast<const QPlainTextEdit*>(Control);
}

// The controls a panel or group box holds directly, in child order.
QList<QWidget*> ChildControls(QWidget* Control) {
  return Control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

void SetControlLook(QWidget* Control, bool Enable) {
  if (qobject_cast<QLabel*>(Control) || qobject_cast<QCheckBox*>(Control)) {
    Control->setEnabled(Enable);
    return;
  }
  if (!IsEditLike(Control)) return;
  const QPalette System = QApplication::palette();
  const QColor Background = System.color(QPalette::Active, Enable ? QPalette::Base : QPalette::Button);
  QPalette Look = Control->palette();
  for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    Look.setColor(Group, QPalette::Base, Background);
  Control->setPalette(Look);
}

void SetControlTreeEnabled(QWidget* Control, bool Enable) {
  Control->setEnabled(Enable);
  SetControlLook(Control, Enable);
  if (qobject_cast<TPanelFrame*>(Control) || qobject_cast<QGroupBox*>(Control))
    for (QWidget* Child : ChildControls(Control)) SetControlTreeEnabled(Child, Enable);
}

void SetPanelEnabled(QWidget* Panel, bool Enable) {
  Panel->setEnabled(Enable);
  SetControlLook(Panel, Enable);
  for (QWidget* Child : ChildControls(Panel)) SetControlTreeEnabled(Child, Enable);
}
