// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <set>
#include <vector>

#include "app/form/Action.h"
#include "app/form/Binding.h"
#include "app/form/Controls.h"
#include "app/form/WindowFrontEnd.h"
#include "core/SharedState.h"
#include "core/card/CardRow.h"
#include "core/dat/DatFile.h"
#include "core/link/Link.h"
#include "core/queue/GameQueue.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/SaveBackup.h"

class TDialogs;

// The one window of the program, without a toolkit: it binds the controls a
// binding supplies to the card work and runs every long operation inside the
// pressed button's click handler, pumping the binding's messages between
// packets. Created with the binding, the transport to use, its dialogs, and
// the command-line arguments (the first one may choose a factory test mode).
class TMainForm {
public:
  TMainForm(TBinding& Binding, TLinkPort& Port, TDialogs& Dialogs, const std::vector<std::string>& Arguments);
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  TSharedState& State() { return FState; }
  TLink& Link() { return FLink; }
  TWindowFrontEnd& FrontEnd() { return FFrontEnd; }
  TDialogs& Dialogs() { return FDialogs; }
  TBinding& Binding() { return FBinding; }
  // The binding's window and its controls.
  TFormWindow& FormWindow() { return *FWindow; }
  TWindow& Window() { return FWindow->Window(); }
  bool FirstIdleDone() const { return FFirstIdleDone; }

  void Show() { Window().Show(); }
  bool Close() { return Window().Close(); }

  // The work each operation button runs between its opening and closing
  // steps. The work sets Operating when its loop starts, pumps between
  // packets and stops as soon as Operating is false. An installed body
  // stands in for the operation's own work; where the operation has work of
  // its own (read, write, format), it stands in for its preparations (the
  // dialogs) too, so the bare pattern can be driven around it. An empty Body
  // gives the button its own work back.
  void SetOperationBody(TButton* Button, std::function<void()> Body);
  // Opens the port test window; called on a right-Ctrl click on imgConnect.
  std::function<void()> OnPortTestWindow;

  // The row data of a card list row (its start offset and size).
  static TCardRow CardRowOf(const TListView::TRow& Row);
  // The cells of a card list row: title, size, and hidden offset and size.
  static TListView::TRow CardListRow(const TCardRow& Row);

  // Controls, named as the window's layout names them.
  TLabel* AALabel1 = nullptr;
  TControl* imgConnect = nullptr;
  TPanel* pMain = nullptr;
  TGroupBox* gbWrite = nullptr;
  TLabel* Label2 = nullptr;
  TComboBox* cbPart = nullptr;
  TListView* lvROMs = nullptr;
  TButton* btnAdd = nullptr;
  TButton* BitBtn3 = nullptr;
  TButton* BitBtn4 = nullptr;
  TProgressBar* ProgressBar = nullptr;
  TGroupBox* gbCardInfo = nullptr;
  TListView* lvCardRom = nullptr;
  TPanel* pFindGame = nullptr;
  TButton* btnRefresh = nullptr;
  TButton* btnWrite = nullptr;
  TButton* btnWriteSRAM = nullptr;
  TButton* btnRead = nullptr;
  TButton* btnReadSRAM = nullptr;
  TButton* btnEraseChip = nullptr;
  TGroupBox* gbAdvance = nullptr;
  TLabel* Label3 = nullptr;
  TComboBox* cbSize = nullptr;
  TLabel* Label1 = nullptr;
  TEdit* Edit1 = nullptr;
  TButton* btnReadB = nullptr;
  TLabel* Label4 = nullptr;
  TEdit* edWriteAll = nullptr;
  TButton* btnWriteAllB = nullptr;
  TButton* btnReadAll = nullptr;
  TButton* btnWriteAll = nullptr;
  TGroupBox* gbTest = nullptr;
  TLabel* labCheckSRAM = nullptr;
  TLabel* Label5 = nullptr;
  TEdit* edTestSRAM = nullptr;
  TButton* BitBtn1 = nullptr;
  TButton* btnTestWrite = nullptr;
  TButton* btnTestFormat = nullptr;
  TButton* btnTestSRAM = nullptr;
  TStatusBar* StatusBar = nullptr;
  TMenuItem* Add1 = nullptr;
  TMenuItem* Remove1 = nullptr;
  TMenuItem* RemoveAll1 = nullptr;
  // Checked: every write is read back and compared (the queue's popup menu).
  TMenuItem* Verify1 = nullptr;
  static constexpr const char* VerifyCaption = "&Verify after writing";
  // The header details of a queued game (queue's menu) and of a card game,
  // the DAT check of card games and the choice of the DAT file (the card
  // list's menu, PopupMenu2).
  TMenuItem* Details1 = nullptr;
  TMenuItem* CardDetails1 = nullptr;
  TMenuItem* CardCheck1 = nullptr;
  TMenuItem* DatFile1 = nullptr;
  static constexpr const char* DetailsCaption = "Header &details...";
  static constexpr const char* CheckCaption = "&Check against the DAT";
  static constexpr const char* DatFileCaption = "Choose &DAT file...";
  // The save vault (the card list's menu): the list of the save RAM
  // backups, and one written back.
  TMenuItem* Backups1 = nullptr;
  TMenuItem* Restore1 = nullptr;
  static constexpr const char* BackupsCaption = "Save &backups...";
  static constexpr const char* RestoreCaption = "R&estore a save backup...";
  // The queue's three actions (ActionList1), which btnAdd, BitBtn3, BitBtn4
  // and the popup menu's items follow.
  TAction AddMenu{"&Add"};
  TAction RemoveMenu{"&Remove"};
  TAction RemoveAllMenu{"Re&move All"};

  // The eight operation buttons, in the order EnableOperationButtons knows them.
  std::vector<TButton*> OperationButtons() const;
  // The name a binding gave a control of this form ("" for none of them).
  std::string NameOf(const TControl* Control) const;

  // Handlers, named after control and event.
  void FormCreate(const std::vector<std::string>& Arguments);
  void FormShow();
  bool FormCloseQuery();
  void FormKeyPress(char Key);
  void FormDropFiles(const std::vector<std::string>& Files);
  void RightControlChange(bool Down);
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
  void Verify1Click();
  bool VerifyWrites() const { return FVerifyWrites; }
  void Details1Click();
  void CardDetails1Click();
  void CardCheck1Click();
  void DatFile1Click();
  void Backups1Click();
  void Restore1Click();
  // The DAT file the window checks against ("" for none), as remembered.
  const std::string& DatFileName() const { return FDatFile; }
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
  void btnTestSRAMClick(TButton* Sender);
  void BitBtn1Click();
  void btnTestFormatClick();
  void OpenPortTestWindow();

  // An operation runs (a format too): the controls stay as it set them and
  // device changes are dropped.
  bool Busy() const { return FState.Operating || FFormatting; }
  // A factory test mode ("/rom" or "/sram") is on.
  bool TestMode() const { return FState.TestROMMode || FState.TestSRAMMode; }

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
  std::string WindowTitle = "Flashquill";
  bool RightControlDown() const { return FRightControlDown; }

private:
  // What sets one operation apart from the others in the shared pattern.
  struct TOperation {
    std::string RestoredCaption;             // the button's caption after the operation
    bool KeepCaption = false;                // runs with its own caption, its button disabled
    std::function<bool()> Prepare;           // false: the user cancelled, nothing happens
    std::function<void()> BeforeIdentify;    // closing step before the chip is re-identified
    std::function<void()> AfterIdentify;     // closing step after it
    std::function<void()> Work;              // the operation itself, between the two
  };
  void RunOperation(TButton* Button, const TOperation& Operation);
  void CloseOperation(TButton* Button, const TOperation& Operation);

  void FindControls();
  void BindEvents();
  void ShowInitialState();

  TBinding& FBinding;
  std::unique_ptr<TFormWindow> FWindow;
  TSharedState FState;
  TDialogs& FDialogs;
  TWindowFrontEnd FFrontEnd;
  TLinkPort& FPort;
  TLink FLink;
  std::map<TButton*, std::function<void()>> FOperationBodies;
  std::unique_ptr<TTimer> FDevicePoll;
  bool FFirstIdleDone = false;
  // A format runs: it cannot be stopped, but it pumps, and whatever comes
  // in meanwhile treats it as a running operation.
  bool FFormatting = false;
  // Device changes that came in during an operation and are picked up only
  // now are dropped, not acted on.
  bool FDroppingDeviceChanges = false;
  // The reason a factory test ended FAILED or CANCLED, shown again after
  // the closing identification has emptied the status bar.
  std::string FTestReason;
  bool FRightControlDown = false;
  bool FListing = false;        // a card listing runs
  bool FListingAgain = false;   // another one was asked for meanwhile

  // Reading, the queue and writing.
  void MirrorQueue();
  // A failed read or write whose text only panel 1 holds: the closing
  // identification would wipe it, so it is shown in a box as well, unless the
  // work showed one itself since BoxesBefore.
  void ShowFailureBox(int BoxesBefore, const std::string& Detail = std::string());
  // A write through the core's safe write (backup, write, verify); what it
  // ended with is kept for the closing steps, which show it again.
  // Before is the vault's word for it ("" : from Kind).
  void WriteCard(TCardWriteKind Kind, const std::string& FileName, const std::string& Before = std::string());
  // The save vault (MainFormVault.cpp).
  void BindVaultControls();
  // The titles the card list shows, for a backup's name.
  std::vector<std::string> CardTitles() const;
  // A backup could not be made: the user's answer to going on without.
  bool GoOnWithoutBackup(const TSaveBackupResult& Backup);
  // After the closing identification: panel 1 shows the outcome again.
  void ShowKeptOutcome();
  // A question before the queue takes a file that fails the header checks;
  // true when it may be queued.
  bool HeaderAccepted(const std::string& FileName);
  // For a file queued with a wrong header checksum: whether the write should
  // carry it mended (FMendFiles).
  void AskToMend(const std::string& FileName);
  bool FVerifyWrites = true;
  // Header details and DAT verdicts (MainFormDetails.cpp).
  void BindDetailsControls();
  // The DAT loaded (again when its file changed); null, with an error box,
  // when there is none or it cannot be used.
  const TDatFile* Dat();
  // What the DAT says of a backup just read into File; a verified backup of
  // a folder read (Rename) takes its entry's name. Returns the line to show.
  std::string JudgeReadBackup(const std::string& File, const std::string& Title, bool Rename);
  // Queued files whose header checksums the user asked to have mended.
  std::set<std::string> FMendFiles;
  std::string FDatFile;
  std::unique_ptr<TDatFile> FDat;
  std::string FDatLoaded;   // the file FDat came from
  std::string FKeptOutcome;      // the last operation's outcome for panel 1 ("" for none)
  TGameQueue FQueue;
  std::string FSaveRamFile;     // what the save dialog of Read SRAM held last

  // The factory test box and the port test window (MainFormTests.cpp).
  void BindTestControls();
  void ShowTestState(const std::string& Text, TColour Colour);
  void RunTest(const std::string& TestFile, bool WriteOnly);
};
