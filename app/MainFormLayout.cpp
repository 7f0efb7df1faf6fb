// The window's controls: where they sit and how they look at start.
#include <QAction>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <algorithm>

#include "app/MainForm.h"
#include "app/support/AALabel.h"
#include "app/support/ClickImage.h"
#include "app/support/GridLines.h"
#include "app/support/Panel.h"

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

void ColourButton(QPushButton* Button, const QColor& Colour) {
  QFont Bold = Button->font();
  Bold.setBold(true);
  Button->setFont(Bold);
  QPalette Look = Button->palette();
  Look.setColor(QPalette::Active, QPalette::ButtonText, Colour);
  Look.setColor(QPalette::Inactive, QPalette::ButtonText, Colour);
  Button->setPalette(Look);
}

// A menu item or button that follows an action: same caption, same state,
// and choosing it runs the action.
void FollowAction(QAction* Item, QAction* Action) {
  QObject::connect(Item, &QAction::triggered, Action, [Action] { Action->trigger(); });
  QObject::connect(Action, &QAction::changed, Item, [Item, Action] {
    Item->setText(Action->text());
    Item->setEnabled(Action->isEnabled());
  });
}

void FollowAction(QPushButton* Button, QAction* Action) {
  QObject::connect(Button, &QPushButton::clicked, Action, [Action] { Action->trigger(); });
  QObject::connect(Action, &QAction::changed, Button, [Button, Action] {
    Button->setText(Action->text());
    Button->setEnabled(Action->isEnabled());
  });
}

}  // namespace

void TMainForm::CreateControls() {
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

  AALabel1 = new TAALabel(QStringLiteral("Flashquill"), this);
  AALabel1->setObjectName(QStringLiteral("AALabel1"));
  AALabel1->setGeometry(8, 2, 320, 40);

  imgConnect = Make<TClickImage>(this, "imgConnect", QRect(472, 11, 22, 22));
  imgConnect->setPixmap(ConnectedPixmap(22));
  imgConnect->hide();

  // The main panel: the queue box, the progress bar and the card box.
  pMain = Make<TPanel>(this, "pMain", QRect(0, MainTop, ClientWidth, ClientHeight - StatusHeight - MainTop));
  pMain->setFrameShape(QFrame::NoFrame);

  gbWrite = MakeBox(pMain, "gbWrite", QStringLiteral(" Ready to burn "), QRect(6, 0, 492, 196), true);
  Label2 = Make<QLabel>(gbWrite, "Label2", QRect(12, 22, 66, 20), QStringLiteral("Data Page:"));
  cbPart = Make<QComboBox>(gbWrite, "cbPart", QRect(80, 20, 160, 22));
  cbPart->addItems({QStringLiteral("Page NO. 1 (32M)"), QStringLiteral("Page NO. 2 (32M)")});
  cbPart->setCurrentIndex(0);
  lvROMs = MakeReportView(gbWrite, "lvROMs", QRect(10, 48, 472, 110),
                          {{QStringLiteral("File Name"), 200}, {QStringLiteral("Game Name"), 150},
                           {QStringLiteral("Size"), 80}});
  lvROMs->setContextMenuPolicy(Qt::CustomContextMenu);

  // The queue's three actions, which its buttons and popup menu follow.
  QObject* ActionList1 = new QObject(this);
  ActionList1->setObjectName(QStringLiteral("ActionList1"));
  AddMenu = new QAction(QStringLiteral("&Add"), ActionList1);
  AddMenu->setObjectName(QStringLiteral("AddMenu"));
  RemoveMenu = new QAction(QStringLiteral("&Remove"), ActionList1);
  RemoveMenu->setObjectName(QStringLiteral("RemoveMenu"));
  RemoveAllMenu = new QAction(QStringLiteral("Re&move All"), ActionList1);
  RemoveAllMenu->setObjectName(QStringLiteral("RemoveAllMenu"));

  btnAdd = MakeButton(gbWrite, "btnAdd", AddMenu->text(), QRect(10, 164, 78, 25));
  BitBtn3 = MakeButton(gbWrite, "BitBtn3", RemoveMenu->text(), QRect(92, 164, 78, 25));
  BitBtn4 = MakeButton(gbWrite, "BitBtn4", RemoveAllMenu->text(), QRect(174, 164, 86, 25));
  FollowAction(btnAdd, AddMenu);
  FollowAction(BitBtn3, RemoveMenu);
  FollowAction(BitBtn4, RemoveAllMenu);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Add1 = PopupMenu1->addAction(AddMenu->text());
  Add1->setObjectName(QStringLiteral("Add1"));
  Remove1 = PopupMenu1->addAction(RemoveMenu->text());
  Remove1->setObjectName(QStringLiteral("Remove1"));
  RemoveAll1 = PopupMenu1->addAction(RemoveAllMenu->text());
  RemoveAll1->setObjectName(QStringLiteral("RemoveAll1"));
  FollowAction(Add1, AddMenu);
  FollowAction(Remove1, RemoveMenu);
  FollowAction(RemoveAll1, RemoveAllMenu);

  ProgressBar = Make<QProgressBar>(pMain, "ProgressBar", QRect(6, 200, 492, 14));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);

  gbCardInfo = MakeBox(pMain, "gbCardInfo", QStringLiteral(" Card Information "), QRect(6, 218, 492, 162), true);
  lvCardRom = MakeReportView(gbCardInfo, "lvCardRom", QRect(10, 20, 472, 104),
                             {{QStringLiteral("Game Name"), 200}, {QStringLiteral("Size"), 100}});
  pFindGame = Make<TPanel>(gbCardInfo, "pFindGame", QRect(156, 52, 180, 36));
  pFindGame->setFrameShape(QFrame::Panel);
  pFindGame->setFrameShadow(QFrame::Raised);
  pFindGame->setAutoFillBackground(true);
  pFindGame->setText(QStringLiteral("Now loading..."));
  pFindGame->hide();

  // Only the program clicks it, to rescan after a format.
  btnRefresh = MakeButton(this, "btnRefresh", QStringLiteral("Refresh"), QRect(420, 200, 64, 24));
  btnRefresh->hide();

  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable as its Stop button.
  const int CardButtons = MainTop + 218 + 130;
  btnWrite = MakeButton(this, "btnWrite", QStringLiteral("&Write"), QRect(296, MainTop + 164, 90, 25));
  ColourButton(btnWrite, Qt::red);
  btnWriteSRAM = MakeButton(this, "btnWriteSRAM", QStringLiteral("Write SRAM"), QRect(392, MainTop + 164, 96, 25));
  btnRead = MakeButton(this, "btnRead", QStringLiteral("&Read"), QRect(16, CardButtons, 90, 25));
  ColourButton(btnRead, Qt::blue);
  btnRead->setEnabled(false);
  btnReadSRAM = MakeButton(this, "btnReadSRAM", QStringLiteral("Read SRAM"), QRect(110, CardButtons, 96, 25));
  btnEraseChip = MakeButton(this, "btnEraseChip", QStringLiteral("&Format"), QRect(210, CardButtons, 90, 25));

  // The advanced panel covers the area of pMain; its two buttons lie on it.
  gbAdvance = MakeBox(this, "gbAdvance", QStringLiteral(" Advance Read/Write"), QRect(6, MainTop, 492, 380), false);
  Label3 = Make<QLabel>(gbAdvance, "Label3", QRect(12, 30, 66, 20), QStringLiteral("Read Size:"));
  cbSize = Make<QComboBox>(gbAdvance, "cbSize", QRect(80, 28, 110, 22));
  cbSize->addItems({QStringLiteral("32K"), QStringLiteral("64K"), QStringLiteral("128K"), QStringLiteral("256K"),
                    QStringLiteral("512K"), QStringLiteral("1024K(1M)"), QStringLiteral("2048K(2M)"),
                    QStringLiteral("4096K(4M)"), QStringLiteral("8192K(8M)")});
  cbSize->setCurrentIndex(-1);
  Label1 = Make<QLabel>(gbAdvance, "Label1", QRect(200, 30, 50, 20), QStringLiteral("To File:"));
  Edit1 = Make<QLineEdit>(gbAdvance, "Edit1", QRect(252, 28, 130, 22));
  btnReadB = MakeButton(gbAdvance, "btnReadB", QStringLiteral("..."), QRect(384, 28, 26, 22));
  Label4 = Make<QLabel>(gbAdvance, "Label4", QRect(12, 66, 66, 20), QStringLiteral("From File:"));
  edWriteAll = Make<QLineEdit>(gbAdvance, "edWriteAll", QRect(80, 64, 302, 22));
  btnWriteAllB = MakeButton(gbAdvance, "btnWriteAllB", QStringLiteral("..."), QRect(384, 64, 26, 22));
  btnReadAll = MakeButton(this, "btnReadAll", QStringLiteral("&Read"), QRect(424, MainTop + 26, 64, 26));
  btnWriteAll = MakeButton(this, "btnWriteAll", QStringLiteral("&Write"), QRect(424, MainTop + 62, 64, 26));
  gbAdvance->setAutoFillBackground(true);   // it covers pMain, not shows it through
  gbAdvance->hide();
  btnReadAll->hide();
  btnWriteAll->hide();

  // The factory test box covers the same area.
  gbTest = MakeBox(this, "gbTest", QStringLiteral(" Read / Write "), QRect(6, MainTop, 492, 380), false);
  labCheckSRAM = Make<QLabel>(gbTest, "labCheckSRAM", QRect(12, 24, 468, 150));
  labCheckSRAM->setAlignment(Qt::AlignCenter);
  QFont Result(QStringLiteral("Courier New"));
  Result.setPixelSize(56);
  Result.setBold(true);
  labCheckSRAM->setFont(Result);
  Label5 = Make<QLabel>(gbTest, "Label5", QRect(12, 196, 66, 20), QStringLiteral("Test File:"));
  edTestSRAM = Make<QLineEdit>(gbTest, "edTestSRAM", QRect(80, 194, 302, 22));
  BitBtn1 = MakeButton(gbTest, "BitBtn1", QStringLiteral("..."), QRect(384, 194, 26, 22));
  btnTestWrite = MakeButton(gbTest, "btnTestWrite", QStringLiteral("Write"), QRect(80, 232, 90, 26));
  btnTestFormat = MakeButton(gbTest, "btnTestFormat", QStringLiteral("Format"), QRect(180, 232, 90, 26));
  btnTestWrite->hide();
  btnTestFormat->hide();
  btnTestSRAM = MakeButton(this, "btnTestSRAM", QStringLiteral("Test"), QRect(212, MainTop + 280, 80, 30));
  gbTest->setAutoFillBackground(true);
  gbTest->hide();
  btnTestSRAM->hide();

  StatusBar = Make<QStatusBar>(this, "StatusBar", QRect(0, ClientHeight - StatusHeight, ClientWidth, StatusHeight));
  StatusBar->setSizeGripEnabled(false);
  StatusPanel0 = new QLabel(StatusBar);
  StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  // 110 pixels hold the connection state in the window's own font; a wider
  // fallback font gets what its longest state text needs.
  StatusPanel0->setFixedWidth(
      std::max(110, StatusPanel0->fontMetrics().horizontalAdvance(QStringLiteral("Device Disconnected")) + 10));
  StatusPanel1 = new QLabel(StatusBar);
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
}
