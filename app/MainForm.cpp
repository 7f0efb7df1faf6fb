// Start of the window and its link: creation, first show, the first idle
// moment, device changes and dropped files.
#include "app/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cctype>

#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
#endif

#include "app/support/AALabel.h"
#include "app/support/ClickImage.h"
#include "app/support/ControlLook.h"
#include "app/support/Panel.h"
#include "core/support/Version.h"

namespace {

constexpr uintptr_t DbtDevNodesChanged = 7;   // the device tree changed
constexpr unsigned WmDeviceChange = 0x219;
// How often the transport is asked for device arrivals and removals.
constexpr int DevicePollMs = 200;

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Text;
}

}  // namespace

TMainForm::TMainForm(TLinkPort& Port, TDialogs& Dialogs, const std::vector<std::string>& Arguments,
                     QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      FDialogs(Dialogs),
      FFrontEnd(*this, Dialogs),
      FPort(Port),
      FLink(Port, FState, FFrontEnd) {
  CreateControls();
  setFixedSize(504, 449);
  BindSignals();
  FormCreate(Arguments);
}

TMainForm::~TMainForm() {
  // The lists empty themselves while the controls are destroyed; the half
  // gone window must not hear of it.
  for (QObject* Sender : {static_cast<QObject*>(lvROMs), static_cast<QObject*>(lvROMs->model()),
                          static_cast<QObject*>(lvCardRom), static_cast<QObject*>(lvCardRom->model())})
    Sender->disconnect(this);
  QApplication::instance()->removeEventFilter(this);
  FPort.SetDeviceChangeHandler(nullptr);
}

void TMainForm::BindSignals() {
  connect(AALabel1, &TAALabel::doubleClicked, this, &TMainForm::AALabel1DblClick);
  connect(imgConnect, &TClickImage::clicked, this, &TMainForm::imgConnectClick);
  connect(cbPart, &QComboBox::currentIndexChanged, this, [this] { cbPartChange(); });
  connect(btnRefresh, &QPushButton::clicked, this, &TMainForm::btnRefreshClick);
  connect(AddMenu, &QAction::triggered, this, &TMainForm::AddMenuExecute);
  connect(RemoveMenu, &QAction::triggered, this, &TMainForm::RemoveMenuExecute);
  connect(RemoveAllMenu, &QAction::triggered, this, &TMainForm::RemoveAllMenuExecute);
  connect(lvROMs, &QTreeWidget::customContextMenuRequested, this,
          [this](const QPoint& At) { PopupMenu1->popup(lvROMs->viewport()->mapToGlobal(At)); });

  // A changed queue row (its text, state or selection) re-identifies the
  // chip; a changed card list updates the buttons.
  connect(lvROMs, &QTreeWidget::itemSelectionChanged, this, &TMainForm::lvROMsChange);
  connect(lvROMs, &QTreeWidget::itemChanged, this, [this] { lvROMsChange(); });
  connect(lvROMs->model(), &QAbstractItemModel::rowsInserted, this, [this] { lvROMsChange(); });
  connect(lvROMs->model(), &QAbstractItemModel::rowsRemoved, this, [this] { lvROMsChange(); });
  connect(lvROMs->model(), &QAbstractItemModel::modelReset, this, [this] { lvROMsChange(); });
  connect(lvCardRom, &QTreeWidget::itemSelectionChanged, this, &TMainForm::lvCardRomChange);
  connect(lvCardRom->model(), &QAbstractItemModel::rowsInserted, this, [this] { lvCardRomChange(); });
  connect(lvCardRom->model(), &QAbstractItemModel::rowsRemoved, this, [this] { lvCardRomChange(); });
  connect(lvCardRom->model(), &QAbstractItemModel::modelReset, this, [this] { lvCardRomChange(); });

  connect(btnWrite, &QPushButton::clicked, this, &TMainForm::btnWriteClick);
  connect(btnRead, &QPushButton::clicked, this, &TMainForm::btnReadClick);
  connect(btnEraseChip, &QPushButton::clicked, this, &TMainForm::btnEraseChipClick);
  connect(btnReadSRAM, &QPushButton::clicked, this, &TMainForm::btnReadSRAMClick);
  connect(btnWriteSRAM, &QPushButton::clicked, this, &TMainForm::btnWriteSRAMClick);
  connect(btnReadAll, &QPushButton::clicked, this, &TMainForm::btnReadAllClick);
  connect(btnWriteAll, &QPushButton::clicked, this, &TMainForm::btnWriteAllClick);
  BindTestControls();   // the factory test box and the port test window
  connect(btnReadB, &QPushButton::clicked, this, &TMainForm::btnReadBClick);
  connect(btnWriteAllB, &QPushButton::clicked, this, &TMainForm::btnWriteAllBClick);
  // lvROMs shows the queue: each row inserted or removed there is one row
  // inserted or removed in the list, with the list's change event.
  FQueue.OnChange = [this] { MirrorQueue(); };

  // Double-clicks on the lists and the advanced box, and every key typed
  // into any control of the window, pass by here first.
  QApplication::instance()->installEventFilter(this);

  FPort.SetDeviceChangeHandler([this] { WMDeviceChange(DbtDevNodesChanged, 0); });
  FDevicePoll = new QTimer(this);
  FDevicePoll->setInterval(DevicePollMs);
  connect(FDevicePoll, &QTimer::timeout, this, [this] { FPort.PollDeviceEvents(); });
  FDevicePoll->start();
}

void TMainForm::FormCreate(const std::vector<std::string>& Arguments) {
  int Major = 0, Minor = 0, Release = 0, Build = 0;
  GetVersionNumbers(QCoreApplication::applicationFilePath().toStdString(), Major, Minor, Release, Build);
  WindowTitle += QStringLiteral(" (Ver:%1.%2.%3)").arg(Major).arg(Minor).arg(Release);
  setWindowTitle(WindowTitle);

  SetPanelEnabled(pMain, false);
  setAcceptDrops(true);
  EnableOperationButtons(false);
  FFirstIdlePending = true;   // runs once the event loop first goes idle after the show

  // Only the first argument may choose a factory test mode.
  const std::string First = Arguments.empty() ? std::string() : Lower(Arguments.front());
  if (First == "/rom")
    FState.TestROMMode = true;
  else if (First == "/sram")
    FState.TestSRAMMode = true;

  if (FState.TestROMMode || FState.TestSRAMMode) {
    gbTest->show();
    btnTestSRAM->show();
    gbTest->raise();
    btnTestSRAM->raise();
    if (FState.TestSRAMMode) gbTest->setTitle(QStringLiteral("Test SRAM"));
    if (FState.TestROMMode) {
      gbTest->setTitle(QStringLiteral("Test ROM"));
      btnTestWrite->show();
      btnTestFormat->show();
    }
  }

  // Centred on the desktop.
  if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Desk = Screen->availableGeometry();
    move(Desk.center() - QPoint(width() / 2, height() / 2));
  }
}

void TMainForm::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (Event->spontaneous() || FShown) return;
  FShown = true;
  FormShow();
  if (FFirstIdlePending) QTimer::singleShot(0, this, &TMainForm::FirstIdle);
}

void TMainForm::FormShow() { ConnectDevice(); }

void TMainForm::FirstIdle() {
  if (!FFirstIdlePending) return;
  FFirstIdlePending = false;
  if (!FState.TestROMMode && !FState.TestSRAMMode) {
    UpdateQueueCaption();
    cbPartChange();
  }
  FFirstIdleDone = true;
}

bool TMainForm::ConnectDevice() {
  const bool Opened = FLink.Reconnect();
  imgConnect->setVisible(Opened);
  IdentifyChip();
  ShowGameInfo();
  return Opened;
}

void TMainForm::WMDeviceChange(uintptr_t WParam, intptr_t LParam) {
  // A change that arrives during an operation is dropped, not kept for later.
  if (FState.Operating || WParam != DbtDevNodesChanged || LParam != 0) return;
  ConnectDevice();
}

bool TMainForm::nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) {
#ifdef _WIN32
  if (EventType == "windows_generic_MSG") {
    const MSG* Msg = static_cast<const MSG*>(Message);
    if (Msg->message == WmDeviceChange) WMDeviceChange(Msg->wParam, Msg->lParam);
  }
#else
  (void)WmDeviceChange;
#endif
  return QWidget::nativeEvent(EventType, Message, Result);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* Event) {
  if (Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* Event) {
  // Every dropped local file goes to the queue, whatever its type and also
  // while an operation runs; the queue checks it. Names are taken whole.
  for (const QUrl& Url : Event->mimeData()->urls())
    if (Url.isLocalFile()) AddGameFile(Url.toLocalFile().toStdString());
  Event->acceptProposedAction();
}

void TMainForm::closeEvent(QCloseEvent* Event) {
  if (FormCloseQuery())
    Event->accept();
  else
    Event->ignore();
}
