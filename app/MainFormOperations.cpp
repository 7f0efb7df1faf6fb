// Operation control: how every long operation starts, is stopped and ends,
// the close query, and the keys and clicks that open the hidden panels.
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "app/support/ControlLook.h"
#include "app/support/Panel.h"
#include "app/support/RightControl.h"

namespace {
const QString StopCaption = QStringLiteral("&Stop");
constexpr char EscapeKey = 27;
constexpr const char* AdvanceKeys = "kvq";   // typed in a row, it opens the advanced panel
}  // namespace

void TMainForm::SetOperationBody(QPushButton* Button, std::function<void()> Body) {
  FOperationBodies[Button] = std::move(Body);
}

// The pattern every operation button follows. A click while no operation
// runs starts one: preparations, then the window is greyed out except for
// the pressed button, which becomes the Stop button, and the operation's
// work runs here, pumping messages between its packets. A click that comes
// while an operation runs is a stop click: it is handled inside that
// pumping and runs only the closing steps, so the window is back at once;
// the work then finds Operating false and ends, and the first click runs
// the closing steps a second time.
void TMainForm::RunOperation(QPushButton* Button, const TOperation& Operation) {
  if (!FState.Operating) {
    const auto Body = FOperationBodies.find(Button);
    // Copied: the table may change while it runs.
    const std::function<void()> Installed = Body != FOperationBodies.end() ? Body->second : nullptr;
    const bool StandIn = Installed && Operation.Work;
    if (!StandIn && Operation.Prepare && !Operation.Prepare()) return;
    SetPanelEnabled(pMain, false);
    EnableOperationButtons(false);
    if (!Operation.KeepCaption) {
      Button->setEnabled(true);
      Button->setText(StopCaption);
    }
    if (Installed)
      Installed();
    else if (Operation.Work)
      Operation.Work();
  }
  CloseOperation(Button, Operation);
}

void TMainForm::CloseOperation(QPushButton* Button, const TOperation& Operation) {
  FState.Operating = false;
  Button->setText(Operation.RestoredCaption);
  SetPanelEnabled(pMain, true);
  EnableOperationButtons(true);
  if (Operation.BeforeIdentify) Operation.BeforeIdentify();
  // Last, so that a missing cable or an unknown chip greys the window again.
  IdentifyChip();
  if (Operation.AfterIdentify) Operation.AfterIdentify();
}

bool TMainForm::FormCloseQuery() {
  if (!FState.Operating) return true;
  const int Answer = FFrontEnd.ShowMessageBox("Now operting, cancel it?", windowTitle().toStdString(),
                                              MB_FLAGS_QUESTION);
  if (Answer != MB_RESULT_YES) return false;
  FState.Operating = false;
  return true;
}

void TMainForm::FormKeyPress(char Key) {
  if (Key == EscapeKey) {
    close();   // through the close query
    return;
  }
  // A wrong key starts the count again without being tested as the first
  // letter, so "kvkvq" does not open the panel while "xkvq" does.
  if (Key == AdvanceKeys[KeySeqIndex - 1]) {
    if (++KeySeqIndex == 4) {
      ShowAdvancePanel();
      KeySeqIndex = 1;
    }
  } else {
    KeySeqIndex = 1;
  }
}

void TMainForm::ShowAdvancePanel() {
  gbAdvance->show();
  btnReadAll->show();
  btnWriteAll->show();
  gbAdvance->raise();
  btnReadAll->raise();
  btnWriteAll->raise();
}

void TMainForm::gbAdvanceDblClick() {
  if (FState.TestROMMode) return;   // the ROM test keeps the panel once shown
  gbAdvance->hide();
  btnReadAll->hide();
  btnWriteAll->hide();
}

void TMainForm::imgConnectClick() {
  if (!FRightControlDown) return;
  if (OnPortTestWindow) OnPortTestWindow();
}

void TMainForm::TrackKey(QObject* Watched, QEvent* Event) {
  auto* Key = static_cast<QKeyEvent*>(Event);
  if (IsRightControlKey(*Key)) {
    if (!Key->isAutoRepeat()) FRightControlDown = Event->type() == QEvent::KeyPress;
    return;
  }
  if (Event->type() != QEvent::KeyPress) return;
  // A key the focused control does not take is handed on to its parents:
  // it is still one key typed, seen here once more for each parent.
  if (Event == FLastKeyEvent && Key->timestamp() == FLastKeyTime && FLastKeyReceiver &&
      Watched != FLastKeyReceiver) {
    for (QObject* Up = FLastKeyReceiver->parent(); Up; Up = Up->parent())
      if (Up == Watched) return;
  }
  FLastKeyEvent = Event;
  FLastKeyTime = Key->timestamp();
  FLastKeyReceiver = Watched;
  if (Key->key() == Qt::Key_Escape) {
    FormKeyPress(EscapeKey);
    return;
  }
  const QString Text = Key->text();
  if (Text.isEmpty()) return;   // Shift, arrows and the like type no character
  const QChar Typed = Text.front();
  FormKeyPress(Typed.unicode() < 256 ? static_cast<char>(Typed.unicode()) : '\0');
}

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event) {
  switch (Event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (Watched->isWidgetType() && static_cast<QWidget*>(Watched)->window() == this)
        TrackKey(Watched, Event);
      break;
    case QEvent::ApplicationDeactivate:
      FRightControlDown = false;   // its release goes to another program
      break;
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(Event)->button() != Qt::LeftButton) break;
      if (Watched == gbAdvance) {
        gbAdvanceDblClick();
      } else if (Watched == lvCardRom->viewport()) {
        // After the list's own handling, which selects the row clicked on.
        QMetaObject::invokeMethod(this, [this] { lvCardRomDblClick(); }, Qt::QueuedConnection);
      } else if (Watched == lvROMs->viewport()) {
        QMetaObject::invokeMethod(this, [this] { lvROMsDblClick(); }, Qt::QueuedConnection);
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(Watched, Event);
}
