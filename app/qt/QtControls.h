// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "app/form/Controls.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSpinBox;
class QStatusBar;
class QTimer;
class QTreeWidget;
class TAALabel;
class TPanelFrame;

// The control interfaces over Qt widgets. Each adapter wraps a widget the
// window owns; the window keeps the adapters as long as its widgets.

QString ToQt(const std::string& Text);
std::string FromQt(const QString& Text);

// Calls Work for left double-clicks on Target itself, only while Target is
// enabled: not for a double-click on a control it holds, which Qt hands on
// to it when that control does not take it (a label, a disabled control).
// With Queued, Work runs after the widget's own handling of the click.
void OnOwnDoubleClick(QWidget* Target, QWidget* Area, bool Queued, std::function<void()> Work);

template <typename TBase>
class TQtControl : public TBase {
public:
  explicit TQtControl(QWidget* Widget) : FWidget(Widget) {}
  void SetVisible(bool Visible) override { FWidget->setVisible(Visible); }
  bool Visible() const override { return !FWidget->isHidden(); }
  void SetEnabled(bool Enabled) override;
  bool Enabled() const override { return FWidget->isEnabled(); }
  void BringToFront() override { FWidget->raise(); }
  void SetFocusable(bool Focusable) override;
  void SetHint(const std::string& Hint) override { FWidget->setToolTip(ToQt(Hint)); }
  std::string Hint() const override { return FromQt(FWidget->toolTip()); }
  QWidget* Widget() const { return FWidget; }

protected:
  QWidget* FWidget;
};

// A widget and what it holds, greyed out or back; and kept from the focus
// or given its own focus policy back.
void SetWidgetTreeEnabled(QWidget* Widget, bool Enabled);
void SetWidgetTreeFocusable(QWidget* Widget, bool Focusable);

template <typename TBase>
void TQtControl<TBase>::SetEnabled(bool Enabled) {
  SetWidgetTreeEnabled(FWidget, Enabled);
}
template <typename TBase>
void TQtControl<TBase>::SetFocusable(bool Focusable) {
  SetWidgetTreeFocusable(FWidget, Focusable);
}

class TQtButton : public TQtControl<TButton> {
public:
  explicit TQtButton(QAbstractButton* Button);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;
  void SetDown(bool Down) override;
  bool Down() const override;

private:
  QAbstractButton* FButton;
};

class TQtLabel : public TQtControl<TLabel> {
public:
  explicit TQtLabel(QLabel* Label);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;
  void SetFontColour(TColour Colour) override;
  TColour FontColour() const override;

private:
  QLabel* FLabel;
};

// The window's title caption (AALabel1).
class TQtTitleLabel : public TQtControl<TLabel> {
public:
  explicit TQtTitleLabel(TAALabel* Label);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;
  void SetFontColour(TColour Colour) override;
  TColour FontColour() const override;

private:
  TAALabel* FLabel;
};

// A picture that reports clicks (imgConnect).
class TQtImage : public TQtControl<TControl> {
public:
  explicit TQtImage(QWidget* Image);
};

class TQtPanel : public TQtControl<TPanel> {
public:
  explicit TQtPanel(TPanelFrame* Panel);
  explicit TQtPanel(QGroupBox* Box);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;

private:
  TPanelFrame* FPanel = nullptr;
  QGroupBox* FBox = nullptr;
};

class TQtEdit : public TQtControl<TEdit> {
public:
  explicit TQtEdit(QLineEdit* Edit);
  void SetText(const std::string& Text) override;
  std::string Text() const override;

private:
  QLineEdit* FEdit;
};

class TQtComboBox : public TQtControl<TComboBox> {
public:
  explicit TQtComboBox(QComboBox* Box);
  void SetItems(const std::vector<std::string>& Items) override;
  int ItemCount() const override;
  void SetItemIndex(int Index) override;
  int ItemIndex() const override;
  std::string Text() const override;

private:
  QComboBox* FBox;
  bool FFromCode = false;   // the form changes it: no OnChange
};

class TQtCheckBox : public TQtControl<TCheckBox> {
public:
  explicit TQtCheckBox(QCheckBox* Box);
  void SetChecked(bool Checked) override;
  bool Checked() const override;
  void SetCaption(const std::string& Caption) override;

private:
  QCheckBox* FBox;
};

class TQtSpinEdit : public TQtControl<TSpinEdit> {
public:
  explicit TQtSpinEdit(QSpinBox* Spin);
  void SetValue(int Value) override;
  std::string Text() const override;

private:
  QSpinBox* FSpin;
};

class TQtProgressBar : public TQtControl<TProgressBar> {
public:
  explicit TQtProgressBar(QProgressBar* Bar);
  void SetPosition(int Position) override;
  int Position() const override;
  int Max() const override;

private:
  QProgressBar* FBar;
};

class TQtStatusBar : public TQtControl<TStatusBar> {
public:
  TQtStatusBar(QStatusBar* Bar, QLabel* Panel0, QLabel* Panel1);
  void SetPanelText(int Panel, const std::string& Text) override;
  std::string PanelText(int Panel) const override;

private:
  QLabel* FPanels[2];
};

// A report list: the shown columns are the tree's columns, the hidden cells
// ride in the first column's item data.
class TQtListView : public TQtControl<TListView> {
public:
  explicit TQtListView(QTreeWidget* View);
  int RowCount() const override;
  TRow Row(int Index) const override;
  void InsertRow(int Index, const TRow& Cells) override;
  void DeleteRow(int Index) override;
  void Clear() override;
  void SetSelected(int Index, bool Selected) override;
  bool Selected(int Index) const override;

private:
  QTreeWidget* FView;
};

class TQtMenuItem : public TMenuItem {
public:
  explicit TQtMenuItem(QAction* Action);
  void SetVisible(bool Visible) override;
  bool Visible() const override;
  void SetEnabled(bool Enabled) override;
  bool Enabled() const override;
  void BringToFront() override {}
  void SetFocusable(bool) override {}
  void SetHint(const std::string& Hint) override;
  std::string Hint() const override;
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override;
  void SetCheckable(bool Checkable) override;
  void SetChecked(bool Checked) override;
  bool Checked() const override;

private:
  QAction* FAction;
};

class TQtTimer : public TTimer {
public:
  TQtTimer();
  ~TQtTimer() override;
  void SetInterval(int Milliseconds) override;
  int Interval() const override;
  void SetEnabled(bool Enabled) override;
  bool Enabled() const override;

private:
  QTimer* FTimer;
};
