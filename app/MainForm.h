#pragma once
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/WindowFrontEnd.h"
#include "core/SharedState.h"
#include "core/card/CardRow.h"
#include "core/link/Link.h"
#include "core/queue/GameQueue.h"

class QAction;
class QColor;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TAALabel;
class TClickImage;
class TDialogs;
class TPanel;

// The one window of the program: it binds the controls to the card work and
// runs every long operation inside the pressed button's click handler,
// pumping its messages between packets. Created with the transport to use,
// its dialogs, and the command-line arguments (the first one may choose a
// factory test mode).
class TMainForm : public QWidget {
  Q_OBJECT
public:
  TMainForm(TLinkPort& Port, TDialogs& Dialogs, const std::vector<std::string>& Arguments,
            QWidget* Parent = nullptr);
  ~TMainForm() override;

  TSharedState& State() { return FState; }
  TLink& Link() { return FLink; }
  TWindowFrontEnd& FrontEnd() { return FFrontEnd; }
  TDialogs& Dialogs() { return FDialogs; }
  bool FirstIdleDone() const { return FFirstIdleDone; }

  // The work each operation button runs between its opening and closing
  // steps. The work sets Operating when its loop starts, pumps between
  // packets and stops as soon as Operating is false. An installed body
  // stands in for the operation's own work; where the operation has work of
  // its own (read, write, format), it stands in for its preparations (the
  // dialogs) too, so the bare pattern can be driven around it. An empty Body
  // gives the button its own work back.
  void SetOperationBody(QPushButton* Button, std::function<void()> Body);
  // Opens the port test window; called on a right-Ctrl click on imgConnect.
  std::function<void()> OnPortTestWindow;

  // The row data of a card list row (its start offset and size).
  static TCardRow CardRowOf(const QTreeWidgetItem* Item);

  // Controls, named as the window's layout names them (each widget's object
  // name is the same).
  TAALabel* AALabel1 = nullptr;
  TClickImage* imgConnect = nullptr;
  TPanel* pMain = nullptr;
  QGroupBox* gbWrite = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* cbPart = nullptr;
  QTreeWidget* lvROMs = nullptr;
  QPushButton* btnAdd = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QPushButton* BitBtn4 = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QGroupBox* gbCardInfo = nullptr;
  QTreeWidget* lvCardRom = nullptr;
  TPanel* pFindGame = nullptr;
  QPushButton* btnRefresh = nullptr;
  QPushButton* btnWrite = nullptr;
  QPushButton* btnWriteSRAM = nullptr;
  QPushButton* btnRead = nullptr;
  QPushButton* btnReadSRAM = nullptr;
  QPushButton* btnEraseChip = nullptr;
  QGroupBox* gbAdvance = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* cbSize = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* btnReadB = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* edWriteAll = nullptr;
  QPushButton* btnWriteAllB = nullptr;
  QPushButton* btnReadAll = nullptr;
  QPushButton* btnWriteAll = nullptr;
  QGroupBox* gbTest = nullptr;
  QLabel* labCheckSRAM = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* edTestSRAM = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* btnTestWrite = nullptr;
  QPushButton* btnTestFormat = nullptr;
  QPushButton* btnTestSRAM = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Add1 = nullptr;
  QAction* Remove1 = nullptr;
  QAction* RemoveAll1 = nullptr;
  QAction* AddMenu = nullptr;
  QAction* RemoveMenu = nullptr;
  QAction* RemoveAllMenu = nullptr;

  // The eight operation buttons, in the order EnableOperationButtons knows them.
  std::vector<QPushButton*> OperationButtons() const;

  // Handlers, named after control and event.
  void FormCreate(const std::vector<std::string>& Arguments);
  void FormShow();
  bool FormCloseQuery();
  void FormKeyPress(char Key);
  void WMDeviceChange(uintptr_t WParam, intptr_t LParam);
  void AALabel1DblClick();
  void imgConnectClick();
  void gbAdvanceDblClick();
  void lvROMsChange();
  void lvCardRomChange();
  void lvROMsDblClick();
  void lvCardRomDblClick();
  void cbPartChange();
  void btnRefreshClick();
  void AddMenuExecute();
  void RemoveMenuExecute();
  void RemoveAllMenuExecute();
  void btnWriteClick();
  void btnReadClick();
  void btnEraseChipClick();
  void btnReadSRAMClick();
  void btnWriteSRAMClick();
  void btnReadAllClick();
  void btnWriteAllClick();
  // The factory test box and the port test window (MainFormTests.cpp).
  // btnTestSRAMClick serves both "Test" (btnTestSRAM) and "Write"
  // (btnTestWrite); Sender is the button clicked.
  void btnTestSRAMClick(QPushButton* Sender);
  void BitBtn1Click();
  void btnTestFormatClick();
  void OpenPortTestWindow();

  // Private methods in spirit; public so that the tests drive them.
  bool ConnectDevice();
  void FirstIdle();
  void IdentifyChip();
  void EnableOperationButtons(bool Enable);
  void UpdateListButtons();
  void ShowAdvancePanel();
  void ShowGameInfo();
  void AddGameFile(const std::string& FileName);
  void UpdateQueueCaption();

  // Reading, the queue and writing (MainFormRead.cpp, MainFormQueue.cpp,
  // MainFormWrite.cpp, MainFormDemo.cpp).
  void btnReadBClick();
  void btnWriteAllBClick();
  // The games waiting for the next write; lvROMs shows its rows.
  const TGameQueue& Queue() const { return FQueue; }
  // The demo pack: with no game found on the first page, these games are
  // queued and written as the user's Write would; the queue is emptied again
  // afterwards. True when the pack was written.
  bool WriteDemoPack(const std::vector<std::string>& Games);

  int KeySeqIndex = 1;
  QString WindowTitle = QStringLiteral("Flashquill");
  bool RightControlDown() const { return FRightControlDown; }

protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  bool nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) override;

private:
  // What sets one operation apart from the others in the shared pattern.
  struct TOperation {
    QString RestoredCaption;                 // the button's caption after the operation
    bool KeepCaption = false;                // runs with its own caption, its button disabled
    std::function<bool()> Prepare;           // false: the user cancelled, nothing happens
    std::function<void()> BeforeIdentify;    // closing step before the chip is re-identified
    std::function<void()> AfterIdentify;     // closing step after it
    std::function<void()> Work;              // the operation itself, between the two
  };
  void RunOperation(QPushButton* Button, const TOperation& Operation);
  void CloseOperation(QPushButton* Button, const TOperation& Operation);

  void CreateControls();
  void BindSignals();
  void TrackKey(QObject* Watched, QEvent* Event);

  TSharedState FState;
  TDialogs& FDialogs;
  TWindowFrontEnd FFrontEnd;
  TLinkPort& FPort;
  TLink FLink;
  std::map<QPushButton*, std::function<void()>> FOperationBodies;
  QTimer* FDevicePoll = nullptr;
  bool FShown = false;
  bool FFirstIdlePending = false;
  bool FFirstIdleDone = false;
  bool FRightControlDown = false;
  bool FListing = false;        // a card listing runs
  bool FListingAgain = false;   // another one was asked for meanwhile
  // The key event last handled and the widget it was handled for: the same
  // event handed on to a parent widget is not seen twice.
  // Reading, the queue and writing.
  void MirrorQueue();
  // A failed read or write whose text only panel 1 holds: the closing
  // identification would wipe it, so it is shown in a box as well, unless the
  // work showed one itself since BoxesBefore.
  void ShowFailureBox(int BoxesBefore);
  TGameQueue FQueue;
  std::string FSaveRamFile;     // what the save dialog of Read SRAM held last

  const QEvent* FLastKeyEvent = nullptr;
  quint64 FLastKeyTime = 0;
  QObject* FLastKeyReceiver = nullptr;

  // The factory test box and the port test window (MainFormTests.cpp).
  void BindTestControls();
  void ShowTestState(const QString& Text, const QColor& Colour);
  void RunTest(const std::string& TestFile, bool WriteOnly);
};
