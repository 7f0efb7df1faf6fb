// The port test window's controls: where they sit and how they look at start.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <climits>

#include "app/porttest/IOTestForm.h"
#include "app/porttest/PortBits.h"
#include "app/support/Panel.h"

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

}  // namespace

void TIOTestForm::CreateControls() {
  setObjectName(QStringLiteral("IOTestForm"));
  setWindowTitle(QStringLiteral("IO Test"));
  setFixedSize(ClientWidth, ClientHeight);

  // Top strip: the direction edits, under them the value edits, then the
  // buttons of the exchanges.
  FLabels.resize(38);
  for (int Port = 0; Port < PortCount; ++Port) {
    const int Left = 6 + Port * 76;
    const QString P = QStringLiteral("P%1").arg(Port);
    QLabel* DirectionLabel = Make<QLabel>(this, QStringLiteral("Label%1").arg(31 + Port), QRect(Left, 8, 30, 18), P + "IO");
    QLabel* ValueLabel = Make<QLabel>(this, QStringLiteral("Label%1").arg(35 + Port), QRect(Left, 34, 30, 18), P);
    FLabels[30 + Port] = DirectionLabel;
    FLabels[34 + Port] = ValueLabel;
    FDirectionEdit[Port] = Make<QLineEdit>(this, "ed" + P + "IO", QRect(Left + 32, 6, 34, 22), QStringLiteral("FF"));
    FValueEdit[Port] = Make<QLineEdit>(this, "ed" + P, QRect(Left + 32, 32, 34, 22), QStringLiteral("FF"));
    for (QLineEdit* Edit : {FDirectionEdit[Port], FValueEdit[Port]}) Edit->setMaxLength(2);
  }
  edP0IO = FDirectionEdit[0];
  edP1IO = FDirectionEdit[1];
  edP2IO = FDirectionEdit[2];
  edP3IO = FDirectionEdit[3];
  edP0 = FValueEdit[0];
  edP1 = FValueEdit[1];
  edP2 = FValueEdit[2];
  edP3 = FValueEdit[3];
  // P3's direction byte is kept but not offered.
  edP3IO->hide();
  FLabels[33]->hide();

  btnWrite = Make<QPushButton>(this, QStringLiteral("btnWrite"), QRect(6, 58, 60, 24), QStringLiteral("Write"));
  btnRead = Make<QPushButton>(this, QStringLiteral("btnRead"), QRect(70, 58, 60, 24), QStringLiteral("Read"));
  for (QPushButton* Button : {btnWrite, btnRead}) Button->setAutoDefault(false);
  cbAuto = Make<QCheckBox>(this, QStringLiteral("cbAuto"), QRect(140, 60, 80, 20), QStringLiteral("Auto read"));
  seAuto = Make<QSpinBox>(this, QStringLiteral("seAuto"), QRect(222, 59, 80, 22));
  seAuto->setRange(INT_MIN, INT_MAX);
  seAuto->setValue(1000);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));

  // Centre: the controller with the value buttons, P0 and P1 down its left
  // side, P2 and P3 down its right side.
  Panel1 = Make<TPanel>(this, QStringLiteral("Panel1"), PanelArea);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setLineWidth(2);
  Panel1->setText(QString::fromLatin1(ControllerPartNumber));

  int LabelNumber = 1;
  for (int Port = 0; Port < PortCount; ++Port) {
    const bool Left = Port < 2;
    const QString P = QStringLiteral("P%1").arg(Port);
    const int ValueLeft = Left ? 4 : PanelArea.width() - 4 - BitButtonWidth;
    const int ArrowLeftEdge = Left ? PanelArea.left() - 2 - ArrowWidth : PanelArea.right() + 3;
    const int LabelLeft = Left ? ArrowLeftEdge - 4 - PinLabelWidth : ArrowLeftEdge + ArrowWidth + 4;
    const int GroupLeft = Left ? 4 : ClientWidth - 4 - GroupButtonWidth;
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      const int Bit = BitOfRow(Port, Row);
      const QString Pin = P + QString::number(Bit);
      const int Top = RowTop(Port, Row);
      FValue[Port].push_back(MakeSpeedButton(Panel1, Pin, QRect(ValueLeft, Top - PanelArea.top(), BitButtonWidth, RowPitch - 1),
                                             QStringLiteral("1"), false));
      FValue[Port].back()->setCheckable(true);
      FDirection[Port].push_back(MakeSpeedButton(this, Pin + "IO", QRect(ArrowLeftEdge, Top, ArrowWidth, RowPitch - 1),
                                                 Left ? ArrowRight : ArrowLeft, true));
      // Each pin name sits over a short line that runs from it to its arrow.
      QLabel* Name = Make<QLabel>(this, QStringLiteral("Label%1").arg(LabelNumber), QRect(LabelLeft, Top - 2, PinLabelWidth, 14),
                                  P + "." + QString::number(Bit));
      Name->setAlignment((Left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
      FLabels[LabelNumber - 1] = Name;
      ++LabelNumber;
      auto* Line = new QFrame(this);
      Line->setFrameShape(QFrame::HLine);
      Line->setFrameShadow(QFrame::Sunken);
      Line->setGeometry(Left ? LabelLeft : LabelLeft - 4, Top + 11, PinLabelWidth + 4, 2);
    }
    FGroup[Port] = MakeSpeedButton(this, P + "IO", QRect(GroupLeft, RowTop(Port, 0), GroupButtonWidth, PinCount[Port] * RowPitch - 1),
                                   ArrowBoth, true);
  }
  P0IO = FGroup[0];
  P1IO = FGroup[1];
  P2IO = FGroup[2];
  P3IO = FGroup[3];
  // P3's directions are kept but not offered; its pin names stay.
  P3IO->hide();
  for (QToolButton* Button : FDirection[3]) Button->hide();
}
