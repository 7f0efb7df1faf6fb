// SPDX-License-Identifier: GPL-3.0-or-later
// The port test window's controls: where they sit and how they look at start.
#include "app/qt/QtIOTestWindow.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <climits>

#include "app/form/PortBits.h"
#include "app/form/PortPins.h"
#include "app/qt/PanelFrame.h"
#include "app/qt/QtControls.h"

namespace {

constexpr int ClientWidth = 308;
constexpr int ClientHeight = 387;

// The controller panel and the rows of pins level with its buttons.
const QRect PanelArea(96, 88, 113, 289);
constexpr int RowPitch = 17;
constexpr int GroupPitch = 8 * RowPitch + 8;   // from one port's first row to the next one's
constexpr int FirstRow = 5;                    // inside the panel
constexpr int BitButtonWidth = 22;
constexpr int ArrowWidth = 30;
constexpr int PinLabelWidth = 36;
constexpr int GroupButtonWidth = 18;

// The window y of a pin row: two ports a side, the upper one first.
int RowTop(int Port, int Row) { return PanelArea.top() + FirstRow + (Port % 2) * GroupPitch + Row * RowPitch; }

template <typename T, typename... A>
T* Make(QWidget* Parent, const QString& Name, QRect Where, A&&... Args) {
  T* Control = new T(std::forward<A>(Args)..., Parent);
  Control->setObjectName(Name);
  Control->setGeometry(Where);
  return Control;
}

QToolButton* MakeSpeedButton(QWidget* Parent, const QString& Name, QRect Where, const QString& Caption, bool Flat) {
  auto* Button = Make<QToolButton>(Parent, Name, Where);
  Button->setText(Caption);
  Button->setAutoRaise(Flat);
  Button->setFocusPolicy(Qt::NoFocus);   // speed buttons never take the focus
  return Button;
}

QString Name(const std::string& Text) { return QString::fromStdString(Text); }

}  // namespace

TQtIOTestWindow::TQtIOTestWindow(QWidget* Owner)
    : TQtFormWindow(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint) {
  FTakeEscape = true;
  if (Owner) setFont(Owner->font());
  CreateControls();
}

void TQtIOTestWindow::CreateControls() {
  setObjectName(QStringLiteral("IOTestForm"));
  setWindowTitle(QStringLiteral("IO Test"));
  setFixedSize(ClientWidth, ClientHeight);

  // Top strip: the direction edits, under them the value edits, then the
  // buttons of the exchanges.
  std::vector<QLabel*> Labels(38);   // Label1 .. Label38
  for (int Port = 0; Port < PortCount; ++Port) {
    const int Left = 6 + Port * 76;
    const QString P = Name(PortName(Port));
    Labels[30 + Port] = Make<QLabel>(this, QStringLiteral("Label%1").arg(31 + Port), QRect(Left, 8, 30, 18), P + "IO");
    Labels[34 + Port] = Make<QLabel>(this, QStringLiteral("Label%1").arg(35 + Port), QRect(Left, 34, 30, 18), P);
    auto* DirectionEdit = Make<QLineEdit>(this, Name(DirectionEditName(Port)), QRect(Left + 32, 6, 34, 22), QStringLiteral("FF"));
    auto* ValueEdit = Make<QLineEdit>(this, Name(ValueEditName(Port)), QRect(Left + 32, 32, 34, 22), QStringLiteral("FF"));
    for (QLineEdit* Edit : {DirectionEdit, ValueEdit}) Edit->setMaxLength(2);
    // P3's direction byte is kept but not offered.
    if (Port == 3) {
      DirectionEdit->hide();
      Labels[33]->hide();
    }
    Keep(DirectionEditName(Port), std::make_unique<TQtEdit>(DirectionEdit));
    Keep(ValueEditName(Port), std::make_unique<TQtEdit>(ValueEdit));
  }

  auto* btnWrite = Make<QPushButton>(this, QStringLiteral("btnWrite"), QRect(6, 58, 60, 24), QStringLiteral("Write"));
  auto* btnRead = Make<QPushButton>(this, QStringLiteral("btnRead"), QRect(70, 58, 60, 24), QStringLiteral("Read"));
  for (QPushButton* Button : {btnWrite, btnRead}) Button->setAutoDefault(false);
  auto* cbAuto = Make<QCheckBox>(this, QStringLiteral("cbAuto"), QRect(140, 60, 80, 20), QStringLiteral("Auto read"));
  auto* seAuto = Make<QSpinBox>(this, QStringLiteral("seAuto"), QRect(222, 59, 80, 22));
  seAuto->setRange(INT_MIN, INT_MAX);
  seAuto->setValue(1000);
  Keep("btnWrite", std::make_unique<TQtButton>(btnWrite));
  Keep("btnRead", std::make_unique<TQtButton>(btnRead));
  Keep("cbAuto", std::make_unique<TQtCheckBox>(cbAuto));
  Keep("seAuto", std::make_unique<TQtSpinEdit>(seAuto));

  // Centre: the controller with the value buttons, P0 and P1 down its left
  // side, P2 and P3 down its right side.
  auto* Panel1 = Make<TPanelFrame>(this, QStringLiteral("Panel1"), PanelArea);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setLineWidth(2);
  Keep("Panel1", std::make_unique<TQtPanel>(Panel1));

  int LabelNumber = 1;
  for (int Port = 0; Port < PortCount; ++Port) {
    const bool Left = Port < 2;
    const QString P = Name(PortName(Port));
    const int ValueLeft = Left ? 4 : PanelArea.width() - 4 - BitButtonWidth;
    const int ArrowLeftEdge = Left ? PanelArea.left() - 2 - ArrowWidth : PanelArea.right() + 3;
    const int LabelLeft = Left ? ArrowLeftEdge - 4 - PinLabelWidth : ArrowLeftEdge + ArrowWidth + 4;
    const int GroupLeft = Left ? 4 : ClientWidth - 4 - GroupButtonWidth;
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      const int Bit = BitOfRow(Port, Row);
      const int Top = RowTop(Port, Row);
      QToolButton* Value = MakeSpeedButton(Panel1, Name(ValueButtonName(Port, Row)),
                                           QRect(ValueLeft, Top - PanelArea.top(), BitButtonWidth, RowPitch - 1),
                                           QStringLiteral("1"), false);
      Value->setCheckable(true);
      QToolButton* Direction =
          MakeSpeedButton(this, Name(DirectionButtonName(Port, Row)), QRect(ArrowLeftEdge, Top, ArrowWidth, RowPitch - 1),
                          Name(Left ? ArrowRight : ArrowLeft), true);
      // P3's directions are kept but not offered; its pin names stay.
      if (Port == 3) Direction->hide();
      Keep(ValueButtonName(Port, Row), std::make_unique<TQtButton>(Value));
      Keep(DirectionButtonName(Port, Row), std::make_unique<TQtButton>(Direction));
      // Each pin name sits over a short line that runs from it to its arrow.
      QLabel* PinName = Make<QLabel>(this, QStringLiteral("Label%1").arg(LabelNumber),
                                     QRect(LabelLeft, Top - 2, PinLabelWidth, 14), P + "." + QString::number(Bit));
      PinName->setAlignment((Left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
      Labels[LabelNumber - 1] = PinName;
      ++LabelNumber;
      auto* Line = new QFrame(this);
      Line->setFrameShape(QFrame::HLine);
      Line->setFrameShadow(QFrame::Sunken);
      Line->setGeometry(Left ? LabelLeft : LabelLeft - 4, Top + 11, PinLabelWidth + 4, 2);
    }
    QToolButton* Group = MakeSpeedButton(this, Name(GroupButtonName(Port)),
                                         QRect(GroupLeft, RowTop(Port, 0), GroupButtonWidth, PinCount[Port] * RowPitch - 1),
                                         Name(ArrowBoth), true);
    if (Port == 3) Group->hide();
    Keep(GroupButtonName(Port), std::make_unique<TQtButton>(Group));
  }
}
