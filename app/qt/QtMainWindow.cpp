// SPDX-License-Identifier: GPL-3.0-or-later
// TMainForm's window in Qt: the controls, where they sit and how they look
// at start; dropped files and device changes.
#include "app/qt/QtMainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
#endif

#include "app/form/WindowLook.h"
#include "app/qt/AALabel.h"
#include "app/qt/ClickImage.h"
#include "app/qt/GridLines.h"
#include "app/qt/PanelFrame.h"
#include "app/qt/QtControls.h"

namespace {

constexpr int ClientWidth = 504;
constexpr int ClientHeight = 449;
constexpr int StatusHeight = 22;
constexpr int MainTop = 44;   // pMain and the boxes that cover it start below the caption

template <typename T, typename... A>
T* Make(QWidget* Parent, const char* Name, QRect Where, A&&... Args) {
  T* Control = new T(std::forward<A>(Args)..., Parent);
  Control->setObjectName(QString::fromLatin1(Name));
  Control->setGeometry(Where);
  return Control;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const QString& Caption, QRect Where) {
  QPushButton* Button = Make<QPushButton>(Parent, Name, Where, Caption);
  Button->setAutoDefault(false);
  return Button;
}

QGroupBox* MakeBox(QWidget* Parent, const char* Name, const QString& Caption, QRect Where, bool Bold) {
  QGroupBox* Box = Make<QGroupBox>(Parent, Name, Where, Caption);
  if (Bold) {
    QFont Caption = Box->font();
    Caption.setBold(true);
    Box->setFont(Caption);
  }
  return Box;
}

QTreeWidget* MakeReportView(QWidget* Parent, const char* Name, QRect Where,
                            const std::vector<std::pair<QString, int>>& Columns) {
  QTreeWidget* View = Make<QTreeWidget>(Parent, Name, Where);
  QStringList Titles;
  for (const auto& Column : Columns) Titles << Column.first;
  View->setColumnCount(static_cast<int>(Columns.size()));
  View->setHeaderLabels(Titles);
  for (int I = 0; I < static_cast<int>(Columns.size()); ++I) View->setColumnWidth(I, Columns[I].second);
  View->header()->setStretchLastSection(false);
  View->setRootIsDecorated(false);
  View->setUniformRowHeights(true);
  View->setAllColumnsShowFocus(true);
  View->setSelectionMode(QAbstractItemView::ExtendedSelection);
  View->setSelectionBehavior(QAbstractItemView::SelectRows);
  View->setEditTriggers(QAbstractItemView::NoEditTriggers);
  View->setItemDelegate(new TGridLinesDelegate(View));
  return View;
}

void ColourButton(QPushButton* Button, TColour Colour) {
  QFont Bold = Button->font();
  Bold.setBold(true);
  Button->setFont(Bold);
  QPalette Look = Button->palette();
  const QColor Text(Colour.R, Colour.G, Colour.B);
  Look.setColor(QPalette::Active, QPalette::ButtonText, Text);
  Look.setColor(QPalette::Inactive, QPalette::ButtonText, Text);
  Button->setPalette(Look);
}

}  // namespace

TQtMainWindow::TQtMainWindow()
    : TQtFormWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                                 Qt::MSWindowsFixedSizeDialogHint) {
  CreateControls();
  setFixedSize(ClientWidth, ClientHeight);
  setAcceptDrops(true);
  // Centred on the desktop.
  if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Desk = Screen->availableGeometry();
    move(Desk.center() - QPoint(width() / 2, height() / 2));
  }
}

void TQtMainWindow::CreateControls() {
  setObjectName(QStringLiteral("MainForm"));
  // The window's font, 12 pixels: its own family where the system has it,
  // else the platform's default family at that size.
  QFont Default = font();
  for (const QString& Family : {QStringLiteral("SimSun"), QStringLiteral("宋体")}) {
    if (QFontDatabase::hasFamily(Family)) {
      Default.setFamily(Family);
      break;
    }
  }
  Default.setPixelSize(12);
  setFont(Default);

  auto* AALabel1 = new TAALabel(QStringLiteral("Flashquill"), this);
  AALabel1->setObjectName(QStringLiteral("AALabel1"));
  AALabel1->setGeometry(8, 2, 320, 40);
  Keep("AALabel1", std::make_unique<TQtTitleLabel>(AALabel1));

  auto* imgConnect = Make<TClickImage>(this, "imgConnect", QRect(472, 11, 22, 22));
  imgConnect->setPixmap(ConnectedPixmap(22));
  imgConnect->hide();
  Keep("imgConnect", std::make_unique<TQtImage>(imgConnect));

  // The main panel: the queue box, the progress bar and the card box.
  auto* pMain = Make<TPanelFrame>(this, "pMain", QRect(0, MainTop, ClientWidth, ClientHeight - StatusHeight - MainTop));
  pMain->setFrameShape(QFrame::NoFrame);

  QGroupBox* gbWrite = MakeBox(pMain, "gbWrite", QStringLiteral(" Ready to burn "), QRect(6, 0, 492, 196), true);
  auto* Label2 = Make<QLabel>(gbWrite, "Label2", QRect(12, 22, 66, 20), QStringLiteral("Data Page:"));
  auto* cbPart = Make<QComboBox>(gbWrite, "cbPart", QRect(80, 20, 160, 22));
  QTreeWidget* lvROMs = MakeReportView(gbWrite, "lvROMs", QRect(10, 48, 472, 110),
                                       {{QStringLiteral("File Name"), 200}, {QStringLiteral("Game Name"), 150},
                                        {QStringLiteral("Size"), 80}});
  lvROMs->setContextMenuPolicy(Qt::CustomContextMenu);

  // The queue's buttons and popup menu; the form gives them their captions.
  QPushButton* btnAdd = MakeButton(gbWrite, "btnAdd", QString(), QRect(10, 164, 78, 25));
  QPushButton* BitBtn3 = MakeButton(gbWrite, "BitBtn3", QString(), QRect(92, 164, 78, 25));
  QPushButton* BitBtn4 = MakeButton(gbWrite, "BitBtn4", QString(), QRect(174, 164, 86, 25));
  auto* PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* Add1 = PopupMenu1->addAction(QString());
  Add1->setObjectName(QStringLiteral("Add1"));
  QAction* Remove1 = PopupMenu1->addAction(QString());
  Remove1->setObjectName(QStringLiteral("Remove1"));
  QAction* RemoveAll1 = PopupMenu1->addAction(QString());
  RemoveAll1->setObjectName(QStringLiteral("RemoveAll1"));
  // The verify switch lives in the queue's menu, so the window keeps its size.
  PopupMenu1->addSeparator();
  QAction* Verify1 = PopupMenu1->addAction(QString());
  Verify1->setObjectName(QStringLiteral("Verify1"));
  PopupMenu1->addSeparator();
  QAction* Details1 = PopupMenu1->addAction(QString());
  Details1->setObjectName(QStringLiteral("Details1"));
  QObject::connect(lvROMs, &QTreeWidget::customContextMenuRequested, PopupMenu1, [lvROMs, PopupMenu1](const QPoint& At) {
    if (lvROMs->isEnabled()) PopupMenu1->popup(lvROMs->viewport()->mapToGlobal(At));
  });

  auto* ProgressBar = Make<QProgressBar>(pMain, "ProgressBar", QRect(6, 200, 492, 14));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  QGroupBox* gbCardInfo =
      MakeBox(pMain, "gbCardInfo", QStringLiteral(" Card Information "), QRect(6, 218, 492, 162), true);
  QTreeWidget* lvCardRom = MakeReportView(gbCardInfo, "lvCardRom", QRect(10, 20, 472, 104),
                                          {{QStringLiteral("Game Name"), 200}, {QStringLiteral("Size"), 100}});
  // The card list's popup menu: header details, the DAT check, the DAT file,
  // the save backups and their restore.
  lvCardRom->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  QAction* CardDetails1 = PopupMenu2->addAction(QString());
  CardDetails1->setObjectName(QStringLiteral("CardDetails1"));
  QAction* CardCheck1 = PopupMenu2->addAction(QString());
  CardCheck1->setObjectName(QStringLiteral("CardCheck1"));
  PopupMenu2->addSeparator();
  QAction* DatFile1 = PopupMenu2->addAction(QString());
  DatFile1->setObjectName(QStringLiteral("DatFile1"));
  PopupMenu2->addSeparator();
  QAction* Backups1 = PopupMenu2->addAction(QString());
  Backups1->setObjectName(QStringLiteral("Backups1"));
  QAction* Restore1 = PopupMenu2->addAction(QString());
  Restore1->setObjectName(QStringLiteral("Restore1"));
  QObject::connect(lvCardRom, &QTreeWidget::customContextMenuRequested, PopupMenu2,
                   [lvCardRom, PopupMenu2](const QPoint& At) {
                     if (lvCardRom->isEnabled()) PopupMenu2->popup(lvCardRom->viewport()->mapToGlobal(At));
                   });
  auto* pFindGame = Make<TPanelFrame>(gbCardInfo, "pFindGame", QRect(156, 52, 180, 36));
  pFindGame->setFrameShape(QFrame::Panel);
  pFindGame->setFrameShadow(QFrame::Raised);
  pFindGame->setAutoFillBackground(true);
  pFindGame->setText(QStringLiteral("Now loading..."));
  pFindGame->hide();

  // Only the program clicks it, to rescan after a format.
  QPushButton* btnRefresh = MakeButton(this, "btnRefresh", QStringLiteral("Refresh"), QRect(420, 200, 64, 24));
  btnRefresh->hide();

  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable as its Stop button.
  const int CardButtons = MainTop + 218 + 130;
  QPushButton* btnWrite = MakeButton(this, "btnWrite", QStringLiteral("&Write"), QRect(296, MainTop + 164, 90, 25));
  ColourButton(btnWrite, WriteButtonColour);
  QPushButton* btnWriteSRAM =
      MakeButton(this, "btnWriteSRAM", QStringLiteral("Write SRAM"), QRect(392, MainTop + 164, 96, 25));
  QPushButton* btnRead = MakeButton(this, "btnRead", QStringLiteral("&Read"), QRect(16, CardButtons, 90, 25));
  ColourButton(btnRead, ReadButtonColour);
  btnRead->setEnabled(false);
  QPushButton* btnReadSRAM = MakeButton(this, "btnReadSRAM", QStringLiteral("Read SRAM"), QRect(110, CardButtons, 96, 25));
  QPushButton* btnEraseChip = MakeButton(this, "btnEraseChip", QStringLiteral("&Format"), QRect(210, CardButtons, 90, 25));

  // The advanced panel covers the area of pMain; its two buttons lie on it.
  QGroupBox* gbAdvance =
      MakeBox(this, "gbAdvance", QStringLiteral(" Advance Read/Write"), QRect(6, MainTop, 492, 380), false);
  auto* Label3 = Make<QLabel>(gbAdvance, "Label3", QRect(12, 30, 66, 20), QStringLiteral("Read Size:"));
  auto* cbSize = Make<QComboBox>(gbAdvance, "cbSize", QRect(80, 28, 110, 22));
  auto* Label1 = Make<QLabel>(gbAdvance, "Label1", QRect(200, 30, 50, 20), QStringLiteral("To File:"));
  auto* Edit1 = Make<QLineEdit>(gbAdvance, "Edit1", QRect(252, 28, 130, 22));
  QPushButton* btnReadB = MakeButton(gbAdvance, "btnReadB", QStringLiteral("..."), QRect(384, 28, 26, 22));
  auto* Label4 = Make<QLabel>(gbAdvance, "Label4", QRect(12, 66, 66, 20), QStringLiteral("From File:"));
  auto* edWriteAll = Make<QLineEdit>(gbAdvance, "edWriteAll", QRect(80, 64, 302, 22));
  QPushButton* btnWriteAllB = MakeButton(gbAdvance, "btnWriteAllB", QStringLiteral("..."), QRect(384, 64, 26, 22));
  QPushButton* btnReadAll = MakeButton(this, "btnReadAll", QStringLiteral("&Read"), QRect(424, MainTop + 26, 64, 26));
  QPushButton* btnWriteAll = MakeButton(this, "btnWriteAll", QStringLiteral("&Write"), QRect(424, MainTop + 62, 64, 26));
  gbAdvance->setAutoFillBackground(true);   // it covers pMain, not shows it through
  gbAdvance->hide();
  btnReadAll->hide();
  btnWriteAll->hide();

  // The factory test box covers the same area.
  QGroupBox* gbTest = MakeBox(this, "gbTest", QStringLiteral(" Read / Write "), QRect(6, MainTop, 492, 380), false);
  auto* labCheckSRAM = Make<QLabel>(gbTest, "labCheckSRAM", QRect(12, 24, 468, 150));
  labCheckSRAM->setAlignment(Qt::AlignCenter);
  QFont Result(QStringLiteral("Courier New"));
  Result.setPixelSize(56);
  Result.setBold(true);
  // Where the verdict font is missing, the nearest fixed-pitch one stands in.
  Result.setStyleHint(QFont::TypeWriter);
  labCheckSRAM->setFont(Result);
  auto* Label5 = Make<QLabel>(gbTest, "Label5", QRect(12, 196, 66, 20), QStringLiteral("Test File:"));
  auto* edTestSRAM = Make<QLineEdit>(gbTest, "edTestSRAM", QRect(80, 194, 302, 22));
  QPushButton* BitBtn1 = MakeButton(gbTest, "BitBtn1", QStringLiteral("..."), QRect(384, 194, 26, 22));
  QPushButton* btnTestWrite = MakeButton(gbTest, "btnTestWrite", QStringLiteral("Write"), QRect(80, 232, 90, 26));
  QPushButton* btnTestFormat = MakeButton(gbTest, "btnTestFormat", QStringLiteral("Format"), QRect(180, 232, 90, 26));
  btnTestWrite->hide();
  btnTestFormat->hide();
  QPushButton* btnTestSRAM = MakeButton(this, "btnTestSRAM", QStringLiteral("Test"), QRect(212, MainTop + 280, 80, 30));
  gbTest->setAutoFillBackground(true);
  gbTest->hide();
  btnTestSRAM->hide();

  auto* StatusBar = Make<QStatusBar>(this, "StatusBar", QRect(0, ClientHeight - StatusHeight, ClientWidth, StatusHeight));
  StatusBar->setSizeGripEnabled(false);
  auto* StatusPanel0 = new QLabel(StatusBar);
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  // 110 pixels hold the connection state in the window's own font; a wider
  // fallback font gets what its longest state text needs.
  StatusPanel0->setFixedWidth(
      std::max(110, StatusPanel0->fontMetrics().horizontalAdvance(QStringLiteral("Device Disconnected")) + 10));
  auto* StatusPanel1 = new QLabel(StatusBar);
  StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
  StatusPanel1->setMinimumWidth(50);
  for (QLabel* Panel : {StatusPanel0, StatusPanel1}) Panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusBar->addWidget(StatusPanel0, 0);
  StatusBar->addWidget(StatusPanel1, 1);

  // Only the captions of the two boxes are bold; their controls keep the
  // window's font.
  QFont Plain = font();
  Plain.setBold(false);
  for (QGroupBox* Box : {gbWrite, gbCardInfo})
    for (QWidget* Child : Box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (Child != pFindGame) Child->setFont(Plain);

  // The adapters the form finds by name.
  Keep("pMain", std::make_unique<TQtPanel>(pMain));
  Keep("gbWrite", std::make_unique<TQtPanel>(gbWrite));
  Keep("Label2", std::make_unique<TQtLabel>(Label2));
  Keep("cbPart", std::make_unique<TQtComboBox>(cbPart));
  Keep("lvROMs", std::make_unique<TQtListView>(lvROMs));
  Keep("btnAdd", std::make_unique<TQtButton>(btnAdd));
  Keep("BitBtn3", std::make_unique<TQtButton>(BitBtn3));
  Keep("BitBtn4", std::make_unique<TQtButton>(BitBtn4));
  Keep("ProgressBar", std::make_unique<TQtProgressBar>(ProgressBar));
  Keep("gbCardInfo", std::make_unique<TQtPanel>(gbCardInfo));
  Keep("lvCardRom", std::make_unique<TQtListView>(lvCardRom));
  Keep("pFindGame", std::make_unique<TQtPanel>(pFindGame));
  Keep("btnRefresh", std::make_unique<TQtButton>(btnRefresh));
  Keep("btnWrite", std::make_unique<TQtButton>(btnWrite));
  Keep("btnWriteSRAM", std::make_unique<TQtButton>(btnWriteSRAM));
  Keep("btnRead", std::make_unique<TQtButton>(btnRead));
  Keep("btnReadSRAM", std::make_unique<TQtButton>(btnReadSRAM));
  Keep("btnEraseChip", std::make_unique<TQtButton>(btnEraseChip));
  Keep("gbAdvance", std::make_unique<TQtPanel>(gbAdvance));
  Keep("Label3", std::make_unique<TQtLabel>(Label3));
  Keep("cbSize", std::make_unique<TQtComboBox>(cbSize));
  Keep("Label1", std::make_unique<TQtLabel>(Label1));
  Keep("Edit1", std::make_unique<TQtEdit>(Edit1));
  Keep("btnReadB", std::make_unique<TQtButton>(btnReadB));
  Keep("Label4", std::make_unique<TQtLabel>(Label4));
  Keep("edWriteAll", std::make_unique<TQtEdit>(edWriteAll));
  Keep("btnWriteAllB", std::make_unique<TQtButton>(btnWriteAllB));
  Keep("btnReadAll", std::make_unique<TQtButton>(btnReadAll));
  Keep("btnWriteAll", std::make_unique<TQtButton>(btnWriteAll));
  Keep("gbTest", std::make_unique<TQtPanel>(gbTest));
  Keep("labCheckSRAM", std::make_unique<TQtLabel>(labCheckSRAM));
  Keep("Label5", std::make_unique<TQtLabel>(Label5));
  Keep("edTestSRAM", std::make_unique<TQtEdit>(edTestSRAM));
  Keep("BitBtn1", std::make_unique<TQtButton>(BitBtn1));
  Keep("btnTestWrite", std::make_unique<TQtButton>(btnTestWrite));
  Keep("btnTestFormat", std::make_unique<TQtButton>(btnTestFormat));
  Keep("btnTestSRAM", std::make_unique<TQtButton>(btnTestSRAM));
  Keep("StatusBar", std::make_unique<TQtStatusBar>(StatusBar, StatusPanel0, StatusPanel1));
  Keep("Add1", std::make_unique<TQtMenuItem>(Add1));
  Keep("Remove1", std::make_unique<TQtMenuItem>(Remove1));
  Keep("RemoveAll1", std::make_unique<TQtMenuItem>(RemoveAll1));
  Keep("Verify1", std::make_unique<TQtMenuItem>(Verify1));
  Keep("Details1", std::make_unique<TQtMenuItem>(Details1));
  Keep("CardDetails1", std::make_unique<TQtMenuItem>(CardDetails1));
  Keep("CardCheck1", std::make_unique<TQtMenuItem>(CardCheck1));
  Keep("DatFile1", std::make_unique<TQtMenuItem>(DatFile1));
  Keep("Backups1", std::make_unique<TQtMenuItem>(Backups1));
  Keep("Restore1", std::make_unique<TQtMenuItem>(Restore1));
}

void TQtMainWindow::dragEnterEvent(QDragEnterEvent* Event) {
  if (Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TQtMainWindow::dropEvent(QDropEvent* Event) {
  std::vector<std::string> Files;
  for (const QUrl& Url : Event->mimeData()->urls())
    if (Url.isLocalFile()) Files.push_back(FromQt(Url.toLocalFile()));
  if (OnDropFiles) OnDropFiles(Files);
  Event->acceptProposedAction();
}

bool TQtMainWindow::nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) {
#ifdef _WIN32
  if (EventType == "windows_generic_MSG") {
    const MSG* Msg = static_cast<const MSG*>(Message);
    if (Msg->message == WM_DEVICECHANGE && OnDeviceChange) OnDeviceChange(Msg->wParam, Msg->lParam);
  }
#endif
  return QWidget::nativeEvent(EventType, Message, Result);
}
