// The port test window's behaviour: reading and writing the port image,
// the bit and group buttons, periodic reading, Esc.
#include "app/porttest/IOTestForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "app/porttest/PortBits.h"
#include "core/link/Link.h"
#include "core/support/NumberText.h"

namespace {
constexpr char EscapeKey = 27;
// Bits 6 and 7 of both P3 bytes stand for pins the port does not have; the
// image always carries them set.
constexpr uint8_t P3MissingPins = 0xC0;
}  // namespace

TIOTestForm::TIOTestForm(TLink& Link, QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      FLink(Link) {
  if (Owner) setFont(Owner->font());
  CreateControls();
  BindSignals();
}

TIOTestForm::~TIOTestForm() { QApplication::instance()->removeEventFilter(this); }

void TIOTestForm::BindSignals() {
  connect(btnRead, &QPushButton::clicked, this, &TIOTestForm::btnReadClick);
  connect(btnWrite, &QPushButton::clicked, this, &TIOTestForm::btnWriteClick);
  for (int Port = 0; Port < PortCount; ++Port) {
    for (QToolButton* Button : FDirection[Port])
      connect(Button, &QToolButton::clicked, this, [this, Button] { P07IOClick(Button); });
    for (QToolButton* Button : FValue[Port])
      connect(Button, &QToolButton::clicked, this, [this, Button] { P07Click(Button); });
  }
  connect(P0IO, &QToolButton::clicked, this, &TIOTestForm::P0IOClick);
  connect(P1IO, &QToolButton::clicked, this, &TIOTestForm::P1IOClick);
  connect(P2IO, &QToolButton::clicked, this, &TIOTestForm::P2IOClick);
  connect(P3IO, &QToolButton::clicked, this, &TIOTestForm::P3IOClick);
  connect(cbAuto, &QCheckBox::toggled, this, &TIOTestForm::cbAutoClick);
  connect(Timer1, &QTimer::timeout, this, &TIOTestForm::Timer1Timer);
  // Every key typed into any control of this window passes by here first.
  QApplication::instance()->installEventFilter(this);
}

void TIOTestForm::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!Event->spontaneous()) FormShow();
}

void TIOTestForm::FormShow() { btnReadClick(); }

bool TIOTestForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::KeyPress && Watched->isWidgetType() &&
      static_cast<QWidget*>(Watched)->window() == this) {
    if (static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape) {
      FormKeyPress(EscapeKey);
      return true;
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

void TIOTestForm::FormKeyPress(char Key) {
  if (Key == EscapeKey) close();
}

void TIOTestForm::btnReadClick() {
  // No tick may come in the middle of an exchange; the end of the read
  // starts the timer again when periodic reading is on.
  Timer1->stop();
  uint8_t Image[8] = {};
  FLink.ReadPorts(Image);
  // What the buffer holds is shown even after a failed exchange: zeros, or
  // the part a short reply filled in.
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port]->setText(HexByteText(Image[Port]));
    FValueEdit[Port]->setText(HexByteText(Image[ValueOffset + Port]));
  }
  for (int Port = 0; Port < PortCount; ++Port) {
    const std::vector<QToolButton*>& Buttons = FDirection[Port];
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      if (Port < 2)
        ShowLeftArrow(*Buttons[Row], Image[Port], BitOfRow(Port, Row));
      else
        ShowRightArrow(*Buttons[Row], Image[Port], BitOfRow(Port, Row));
    }
  }
  for (int Port = 0; Port < PortCount; ++Port)
    FGroup[Port]->setText(GroupCaption(Port, FDirectionEdit[Port]->text()));
  for (int Port = 0; Port < PortCount; ++Port)
    for (int Row = 0; Row < PinCount[Port]; ++Row)
      ShowValueBit(*FValue[Port][Row], Image[ValueOffset + Port], BitOfRow(Port, Row));
  cbAutoClick();
}

void TIOTestForm::btnWriteClick() {
  Timer1->stop();
  // Unchecked texts: HexToInt takes anything (an empty edit is 0, "G" is
  // 0x17), and only the low eight bits of each go out.
  uint8_t Image[8];
  for (int Port = 0; Port < PortCount; ++Port) {
    Image[Port] = static_cast<uint8_t>(HexToInt(FDirectionEdit[Port]->text().toStdString()) & 0xFF);
    Image[ValueOffset + Port] = static_cast<uint8_t>(HexToInt(FValueEdit[Port]->text().toStdString()) & 0xFF);
  }
  FLink.WritePorts(Image);
  btnReadClick();
  cbAutoClick();
}

void TIOTestForm::ApplyButtons() {
  uint8_t Image[8] = {};
  for (int Port = 0; Port < PortCount; ++Port) {
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      const int Bit = BitOfRow(Port, Row);
      Image[Port] |= Port < 2 ? LeftArrowBit(*FDirection[Port][Row], Bit) : RightArrowBit(*FDirection[Port][Row], Bit);
      Image[ValueOffset + Port] |= ValueBit(*FValue[Port][Row], Bit);
    }
  }
  Image[3] |= P3MissingPins;
  Image[ValueOffset + 3] |= P3MissingPins;
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port]->setText(HexByteText(Image[Port]));
    FValueEdit[Port]->setText(HexByteText(Image[ValueOffset + Port]));
  }
  // The write reads back at its end; one more read follows it.
  btnWriteClick();
  btnReadClick();
}

void TIOTestForm::P07IOClick(QToolButton* Sender) {
  Sender->setText(Sender->text() == ArrowRight ? ArrowLeft : ArrowRight);
  ApplyButtons();
}

void TIOTestForm::P07Click(QToolButton* Sender) {
  // The click has already toggled the button; its caption decides instead.
  const bool WasOne = Sender->text() == QLatin1String("1");
  Sender->setText(WasOne ? QStringLiteral("0") : QStringLiteral("1"));
  Sender->setChecked(WasOne);
  ApplyButtons();
}

void TIOTestForm::GroupClick(int Port, const QString& OnCaption, const QString& OffCaption) {
  QToolButton* Group = FGroup[Port];
  Group->setText(Group->text() == OnCaption ? OffCaption : OnCaption);
  for (QToolButton* Button : FDirection[Port]) Button->setText(Group->text());
  ApplyButtons();
}

// P0 and P1 sit left of the controller, P2 and P3 right of it: "all set" is
// an arrow pointing at it from either side, so a first click on "<->" sets
// every direction bit of the port.
void TIOTestForm::P0IOClick() { GroupClick(0, ArrowRight, ArrowLeft); }
void TIOTestForm::P1IOClick() { GroupClick(1, ArrowRight, ArrowLeft); }
void TIOTestForm::P2IOClick() { GroupClick(2, ArrowLeft, ArrowRight); }
void TIOTestForm::P3IOClick() { GroupClick(3, ArrowLeft, ArrowRight); }

int TIOTestForm::AutoPeriod() const {
  // A text that is no number reads as 0, which gives no ticks.
  bool Number = false;
  const int Period = seAuto->cleanText().trimmed().toInt(&Number);
  return Number ? Period : 0;
}

void TIOTestForm::cbAutoClick() {
  Timer1->stop();
  if (!cbAuto->isChecked()) return;
  const int Period = AutoPeriod();
  if (Period <= 0) return;
  Timer1->setInterval(Period);
  Timer1->start();
}

void TIOTestForm::Timer1Timer() { btnReadClick(); }
