// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtControls.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "app/qt/AALabel.h"
#include "app/qt/ClickImage.h"
#include "app/qt/ControlLook.h"
#include "app/qt/PanelFrame.h"

namespace {

// The hidden cells of a list row ride in the first column's data, from here on.
constexpr int HiddenCellRole = Qt::UserRole;
constexpr int HiddenCountRole = Qt::UserRole + 100;
// The focus policy a widget had before it was kept from the focus.
constexpr const char* OwnFocusPolicy = "fqOwnFocusPolicy";

class TDoubleClickFilter : public QObject {
public:
  TDoubleClickFilter(QWidget* Target, QWidget* Area, bool Queued, std::function<void()> Work)
      : QObject(Area), FTarget(Target), FArea(Area), FQueued(Queued), FWork(std::move(Work)) {}

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched != FArea || Event->type() != QEvent::MouseButtonDblClick) return false;
    const auto* Mouse = static_cast<QMouseEvent*>(Event);
    if (Mouse->button() != Qt::LeftButton || !FTarget->isEnabled()) return false;
    // Handed on from a control inside: not a double-click on this one.
    if (FArea == FTarget && FTarget->childAt(Mouse->position().toPoint())) return false;
    if (FQueued) {
      QPointer<QWidget> Target = FTarget;
      QMetaObject::invokeMethod(
          FTarget, [Target, Work = FWork] { if (Target && Target->isEnabled()) Work(); }, Qt::QueuedConnection);
    } else {
      FWork();
    }
    return false;
  }

private:
  QWidget* FTarget;
  QWidget* FArea;
  bool FQueued;
  std::function<void()> FWork;
};

}  // namespace

QString ToQt(const std::string& Text) { return QString::fromStdString(Text); }
std::string FromQt(const QString& Text) { return Text.toStdString(); }

void OnOwnDoubleClick(QWidget* Target, QWidget* Area, bool Queued, std::function<void()> Work) {
  Area->installEventFilter(new TDoubleClickFilter(Target, Area, Queued, std::move(Work)));
}

void SetWidgetTreeEnabled(QWidget* Widget, bool Enabled) { SetControlTreeEnabled(Widget, Enabled); }

void SetWidgetTreeFocusable(QWidget* Widget, bool Focusable) {
  QList<QWidget*> Tree = Widget->findChildren<QWidget*>();
  Tree.prepend(Widget);
  for (QWidget* Each : Tree) {
    const QVariant Own = Each->property(OwnFocusPolicy);
    if (!Focusable) {
      if (!Own.isValid()) Each->setProperty(OwnFocusPolicy, static_cast<int>(Each->focusPolicy()));
      Each->setFocusPolicy(Qt::NoFocus);
      if (Each->hasFocus()) Each->clearFocus();
    } else if (Own.isValid()) {
      Each->setFocusPolicy(static_cast<Qt::FocusPolicy>(Own.toInt()));
      Each->setProperty(OwnFocusPolicy, QVariant());
    }
  }
}

TQtButton::TQtButton(QAbstractButton* Button) : TQtControl(Button), FButton(Button) {
  QObject::connect(Button, &QAbstractButton::clicked, [this] {
    if (OnClick) OnClick();
  });
}
void TQtButton::SetCaption(const std::string& Caption) { FButton->setText(ToQt(Caption)); }
std::string TQtButton::Caption() const { return FromQt(FButton->text()); }
void TQtButton::SetDown(bool Down) {
  if (FButton->isCheckable())
    FButton->setChecked(Down);
  else
    FButton->setDown(Down);
}
bool TQtButton::Down() const { return FButton->isCheckable() ? FButton->isChecked() : FButton->isDown(); }

namespace {
void SetTextColour(QWidget* Widget, TColour Colour) {
  QPalette Look = Widget->palette();
  for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    Look.setColor(Group, QPalette::WindowText, QColor(Colour.R, Colour.G, Colour.B));
  Widget->setPalette(Look);
}
TColour TextColour(const QWidget* Widget) {
  const QColor Colour = Widget->palette().color(QPalette::Active, QPalette::WindowText);
  return {static_cast<uint8_t>(Colour.red()), static_cast<uint8_t>(Colour.green()), static_cast<uint8_t>(Colour.blue())};
}
}  // namespace

TQtLabel::TQtLabel(QLabel* Label) : TQtControl(Label), FLabel(Label) {
  OnOwnDoubleClick(Label, Label, false, [this] {
    if (OnDblClick) OnDblClick();
  });
}
void TQtLabel::SetCaption(const std::string& Caption) { FLabel->setText(ToQt(Caption)); }
std::string TQtLabel::Caption() const { return FromQt(FLabel->text()); }
void TQtLabel::SetFontColour(TColour Colour) { SetTextColour(FLabel, Colour); }
TColour TQtLabel::FontColour() const { return TextColour(FLabel); }

TQtTitleLabel::TQtTitleLabel(TAALabel* Label) : TQtControl(Label), FLabel(Label) {
  QObject::connect(Label, &TAALabel::doubleClicked, [this] {
    if (OnDblClick) OnDblClick();
  });
}
void TQtTitleLabel::SetCaption(const std::string& Caption) { FLabel->setText(ToQt(Caption)); }
std::string TQtTitleLabel::Caption() const { return FromQt(FLabel->text()); }
void TQtTitleLabel::SetFontColour(TColour Colour) { SetTextColour(FLabel, Colour); }
TColour TQtTitleLabel::FontColour() const { return TextColour(FLabel); }

TQtImage::TQtImage(QWidget* Image) : TQtControl(Image) {
  if (auto* Clickable = qobject_cast<TClickImage*>(Image))
    QObject::connect(Clickable, &TClickImage::clicked, [this] {
      if (OnClick) OnClick();
    });
}

TQtPanel::TQtPanel(TPanelFrame* Panel) : TQtControl(Panel), FPanel(Panel) {
  OnOwnDoubleClick(Panel, Panel, false, [this] {
    if (OnDblClick) OnDblClick();
  });
}
TQtPanel::TQtPanel(QGroupBox* Box) : TQtControl(Box), FBox(Box) {
  OnOwnDoubleClick(Box, Box, false, [this] {
    if (OnDblClick) OnDblClick();
  });
}
void TQtPanel::SetCaption(const std::string& Caption) {
  if (FPanel) FPanel->setText(ToQt(Caption));
  if (FBox) FBox->setTitle(ToQt(Caption));
}
std::string TQtPanel::Caption() const { return FromQt(FPanel ? FPanel->text() : FBox->title()); }

TQtEdit::TQtEdit(QLineEdit* Edit) : TQtControl(Edit), FEdit(Edit) {}
void TQtEdit::SetText(const std::string& Text) { FEdit->setText(ToQt(Text)); }
std::string TQtEdit::Text() const { return FromQt(FEdit->text()); }

TQtComboBox::TQtComboBox(QComboBox* Box) : TQtControl(Box), FBox(Box) {
  QObject::connect(Box, &QComboBox::currentIndexChanged, [this] {
    if (!FFromCode && OnChange) OnChange();
  });
}
void TQtComboBox::SetItems(const std::vector<std::string>& Items) {
  FFromCode = true;
  FBox->clear();
  for (const std::string& Item : Items) FBox->addItem(ToQt(Item));
  FBox->setCurrentIndex(-1);
  FFromCode = false;
}
int TQtComboBox::ItemCount() const { return FBox->count(); }
void TQtComboBox::SetItemIndex(int Index) {
  FFromCode = true;
  FBox->setCurrentIndex(Index);
  FFromCode = false;
}
int TQtComboBox::ItemIndex() const { return FBox->currentIndex(); }
std::string TQtComboBox::Text() const { return FromQt(FBox->currentText()); }

TQtCheckBox::TQtCheckBox(QCheckBox* Box) : TQtControl(Box), FBox(Box) {
  QObject::connect(Box, &QCheckBox::clicked, [this] {
    if (OnClick) OnClick();
  });
}
void TQtCheckBox::SetChecked(bool Checked) { FBox->setChecked(Checked); }
bool TQtCheckBox::Checked() const { return FBox->isChecked(); }
void TQtCheckBox::SetCaption(const std::string& Caption) { FBox->setText(ToQt(Caption)); }

TQtSpinEdit::TQtSpinEdit(QSpinBox* Spin) : TQtControl(Spin), FSpin(Spin) {}
void TQtSpinEdit::SetValue(int Value) { FSpin->setValue(Value); }
std::string TQtSpinEdit::Text() const { return FromQt(FSpin->cleanText()); }

TQtProgressBar::TQtProgressBar(QProgressBar* Bar) : TQtControl(Bar), FBar(Bar) {}
void TQtProgressBar::SetPosition(int Position) { FBar->setValue(Position); }
int TQtProgressBar::Position() const { return FBar->value(); }
int TQtProgressBar::Max() const { return FBar->maximum(); }

TQtStatusBar::TQtStatusBar(QStatusBar* Bar, QLabel* Panel0, QLabel* Panel1)
    : TQtControl(Bar), FPanels{Panel0, Panel1} {}
void TQtStatusBar::SetPanelText(int Panel, const std::string& Text) { FPanels[Panel == 0 ? 0 : 1]->setText(ToQt(Text)); }
std::string TQtStatusBar::PanelText(int Panel) const { return FromQt(FPanels[Panel == 0 ? 0 : 1]->text()); }

TQtListView::TQtListView(QTreeWidget* View) : TQtControl(View), FView(View) {
  // Every change of the rows or the selection, by the user or the form.
  const auto Changed = [this] {
    if (OnChange) OnChange();
  };
  QObject::connect(View, &QTreeWidget::itemSelectionChanged, Changed);
  QObject::connect(View, &QTreeWidget::itemChanged, Changed);
  QObject::connect(View->model(), &QAbstractItemModel::rowsInserted, Changed);
  QObject::connect(View->model(), &QAbstractItemModel::rowsRemoved, Changed);
  QObject::connect(View->model(), &QAbstractItemModel::modelReset, Changed);
  // After the list's own handling, which selects the row clicked on.
  OnOwnDoubleClick(View, View->viewport(), true, [this] {
    if (OnDblClick) OnDblClick();
  });
}
int TQtListView::RowCount() const { return FView->topLevelItemCount(); }
TListView::TRow TQtListView::Row(int Index) const {
  const QTreeWidgetItem* Item = FView->topLevelItem(Index);
  TRow Cells;
  if (!Item) return Cells;
  for (int Column = 0; Column < FView->columnCount(); ++Column) Cells.push_back(FromQt(Item->text(Column)));
  const int Hidden = Item->data(0, HiddenCountRole).toInt();
  for (int Cell = 0; Cell < Hidden; ++Cell) Cells.push_back(FromQt(Item->data(0, HiddenCellRole + Cell).toString()));
  return Cells;
}
void TQtListView::InsertRow(int Index, const TRow& Cells) {
  // Built whole before it goes in, so that inserting it is one change.
  const int Columns = FView->columnCount();
  QStringList Shown;
  for (int Column = 0; Column < Columns; ++Column)
    Shown << (Column < static_cast<int>(Cells.size()) ? ToQt(Cells[static_cast<size_t>(Column)]) : QString());
  auto* Item = new QTreeWidgetItem(Shown);
  const int Hidden = std::max(0, static_cast<int>(Cells.size()) - Columns);
  Item->setData(0, HiddenCountRole, Hidden);
  for (int Cell = 0; Cell < Hidden; ++Cell)
    Item->setData(0, HiddenCellRole + Cell, ToQt(Cells[static_cast<size_t>(Columns + Cell)]));
  FView->insertTopLevelItem(Index, Item);
}
void TQtListView::DeleteRow(int Index) { delete FView->takeTopLevelItem(Index); }
void TQtListView::Clear() { FView->clear(); }
void TQtListView::SetSelected(int Index, bool Selected) {
  if (QTreeWidgetItem* Item = FView->topLevelItem(Index)) Item->setSelected(Selected);
}
bool TQtListView::Selected(int Index) const {
  const QTreeWidgetItem* Item = FView->topLevelItem(Index);
  return Item && Item->isSelected();
}

TQtMenuItem::TQtMenuItem(QAction* Action) : FAction(Action) {
  QObject::connect(Action, &QAction::triggered, [this] {
    if (OnClick) OnClick();
  });
}
void TQtMenuItem::SetVisible(bool Visible) { FAction->setVisible(Visible); }
bool TQtMenuItem::Visible() const { return FAction->isVisible(); }
void TQtMenuItem::SetEnabled(bool Enabled) { FAction->setEnabled(Enabled); }
bool TQtMenuItem::Enabled() const { return FAction->isEnabled(); }
void TQtMenuItem::SetHint(const std::string& Hint) { FAction->setToolTip(ToQt(Hint)); }
std::string TQtMenuItem::Hint() const { return FromQt(FAction->toolTip()); }
void TQtMenuItem::SetCaption(const std::string& Caption) { FAction->setText(ToQt(Caption)); }
std::string TQtMenuItem::Caption() const { return FromQt(FAction->text()); }
void TQtMenuItem::SetCheckable(bool Checkable) { FAction->setCheckable(Checkable); }
void TQtMenuItem::SetChecked(bool Checked) {
  // From code: no event, as the other controls.
  const QSignalBlocker Quiet(FAction);
  FAction->setChecked(Checked);
}
bool TQtMenuItem::Checked() const { return FAction->isChecked(); }

TQtTimer::TQtTimer() : FTimer(new QTimer) {
  QObject::connect(FTimer, &QTimer::timeout, [this] {
    if (OnTimer) OnTimer();
  });
}
TQtTimer::~TQtTimer() { delete FTimer; }
void TQtTimer::SetInterval(int Milliseconds) { FTimer->setInterval(Milliseconds); }
int TQtTimer::Interval() const { return FTimer->interval(); }
void TQtTimer::SetEnabled(bool Enabled) {
  if (Enabled)
    FTimer->start();
  else
    FTimer->stop();
}
bool TQtTimer::Enabled() const { return FTimer->isActive(); }
