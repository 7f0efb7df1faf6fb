// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QFrame>
#include <QString>

// A plain panel: a frame that holds controls and may show a caption in its
// middle ("Now loading..."). It is its own kind so that enabling a panel's
// controls can tell a panel from the list views and combo boxes, which are
// frames too.
class TPanelFrame : public QFrame {
  Q_OBJECT
public:
  explicit TPanelFrame(QWidget* Parent = nullptr);
  void setText(const QString& Caption);
  QString text() const { return FCaption; }

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  QString FCaption;
};
