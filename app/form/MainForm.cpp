// SPDX-License-Identifier: GPL-3.0-or-later
// Start of the window and its link: creation, first show, the first idle
// moment, device changes and dropped files.
#include "app/form/MainForm.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <utility>

#include "app/form/Dialogs.h"
#include "app/form/FormControls.h"
#include "core/support/Version.h"

namespace {

constexpr uintptr_t DbtDevNodesChanged = 7;   // the device tree changed
// How often the transport is asked for device arrivals and removals.
constexpr int DevicePollMs = 200;

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Text;
}

}  // namespace

TMainForm::TMainForm(TBinding& Binding, TLinkPort& Port, TDialogs& Dialogs,
                     const std::vector<std::string>& Arguments)
    : FBinding(Binding),
      FWindow(Binding.CreateFormWindow("MainForm", nullptr)),
      FDialogs(Dialogs),
      FFrontEnd(*this, Binding, Dialogs),
      FPort(Port),
      FLink(Port, FState, FFrontEnd) {
  FindControls();
  BindEvents();
  FormCreate(Arguments);
}

TMainForm::~TMainForm() {
  FPort.SetDeviceChangeHandler(nullptr);
  if (FDevicePoll) FDevicePoll->SetEnabled(false);
  // The lists empty themselves while the controls are destroyed; the half
  // gone window must not hear of it.
  for (TListView* List : {lvROMs, lvCardRom}) List->OnChange = nullptr;
  TWindow& Shown = Window();
  Shown.OnCloseQuery = nullptr;
  Shown.OnShow = nullptr;
  Shown.OnFirstIdle = nullptr;
  Shown.OnKeyPress = nullptr;
  Shown.OnRightControl = nullptr;
  Shown.OnDropFiles = nullptr;
  Shown.OnDeviceChange = nullptr;
}

void TMainForm::FindControls() {
  TFormWindow& W = *FWindow;
  AALabel1 = &W.Get<TLabel>("AALabel1");
  imgConnect = &W.Get<TControl>("imgConnect");
  pMain = &W.Get<TPanel>("pMain");
  gbWrite = &W.Get<TGroupBox>("gbWrite");
  Label2 = &W.Get<TLabel>("Label2");
  cbPart = &W.Get<TComboBox>("cbPart");
  lvROMs = &W.Get<TListView>("lvROMs");
  btnAdd = &W.Get<TButton>("btnAdd");
  BitBtn3 = &W.Get<TButton>("BitBtn3");
  BitBtn4 = &W.Get<TButton>("BitBtn4");
  ProgressBar = &W.Get<TProgressBar>("ProgressBar");
  gbCardInfo = &W.Get<TGroupBox>("gbCardInfo");
  lvCardRom = &W.Get<TListView>("lvCardRom");
  pFindGame = &W.Get<TPanel>("pFindGame");
  btnRefresh = &W.Get<TButton>("btnRefresh");
  btnWrite = &W.Get<TButton>("btnWrite");
  btnWriteSRAM = &W.Get<TButton>("btnWriteSRAM");
  btnRead = &W.Get<TButton>("btnRead");
  btnReadSRAM = &W.Get<TButton>("btnReadSRAM");
  btnEraseChip = &W.Get<TButton>("btnEraseChip");
  gbAdvance = &W.Get<TGroupBox>("gbAdvance");
  Label3 = &W.Get<TLabel>("Label3");
  cbSize = &W.Get<TComboBox>("cbSize");
  Label1 = &W.Get<TLabel>("Label1");
  Edit1 = &W.Get<TEdit>("Edit1");
  btnReadB = &W.Get<TButton>("btnReadB");
  Label4 = &W.Get<TLabel>("Label4");
  edWriteAll = &W.Get<TEdit>("edWriteAll");
  btnWriteAllB = &W.Get<TButton>("btnWriteAllB");
  btnReadAll = &W.Get<TButton>("btnReadAll");
  btnWriteAll = &W.Get<TButton>("btnWriteAll");
  gbTest = &W.Get<TGroupBox>("gbTest");
  labCheckSRAM = &W.Get<TLabel>("labCheckSRAM");
  Label5 = &W.Get<TLabel>("Label5");
  edTestSRAM = &W.Get<TEdit>("edTestSRAM");
  BitBtn1 = &W.Get<TButton>("BitBtn1");
  btnTestWrite = &W.Get<TButton>("btnTestWrite");
  btnTestFormat = &W.Get<TButton>("btnTestFormat");
  btnTestSRAM = &W.Get<TButton>("btnTestSRAM");
  StatusBar = &W.Get<TStatusBar>("StatusBar");
  Add1 = &W.Get<TMenuItem>("Add1");
  Remove1 = &W.Get<TMenuItem>("Remove1");
  RemoveAll1 = &W.Get<TMenuItem>("RemoveAll1");
  Verify1 = &W.Get<TMenuItem>("Verify1");
}

std::string TMainForm::NameOf(const TControl* Control) const {
  for (const TControlInfo& Info : MainFormControls())
    if (FWindow->Find(Info.Name) == Control) return Info.Name;
  return std::string();
}

void TMainForm::BindEvents() {
  TWindow& Shown = Window();
  Shown.OnShow = [this] { FormShow(); };
  Shown.OnFirstIdle = [this] { FirstIdle(); };
  Shown.OnCloseQuery = [this] { return FormCloseQuery(); };
  Shown.OnKeyPress = [this](char Key) { FormKeyPress(Key); };
  Shown.OnRightControl = [this](bool Down) { RightControlChange(Down); };
  Shown.OnDropFiles = [this](const std::vector<std::string>& Files) { FormDropFiles(Files); };
  Shown.OnDeviceChange = [this](uintptr_t WParam, intptr_t LParam) { WMDeviceChange(WParam, LParam); };

  AALabel1->OnDblClick = [this] { AALabel1DblClick(); };
  imgConnect->OnClick = [this] { imgConnectClick(); };
  gbAdvance->OnDblClick = [this] { gbAdvanceDblClick(); };
  cbPart->OnChange = [this] { cbPartChange(); };
  btnRefresh->OnClick = [this] { btnRefreshClick(); };

  AddMenu.OnExecute = [this] { AddMenuExecute(); };
  RemoveMenu.OnExecute = [this] { RemoveMenuExecute(); };
  RemoveAllMenu.OnExecute = [this] { RemoveAllMenuExecute(); };
  AddMenu.AddFollower(*btnAdd);
  AddMenu.AddFollower(*Add1);
  RemoveMenu.AddFollower(*BitBtn3);
  RemoveMenu.AddFollower(*Remove1);
  RemoveAllMenu.AddFollower(*BitBtn4);
  RemoveAllMenu.AddFollower(*RemoveAll1);
  Verify1->SetCaption(VerifyCaption);
  Verify1->SetCheckable(true);
  Verify1->SetChecked(FVerifyWrites);
  Verify1->OnClick = [this] { Verify1Click(); };
  BindDetailsControls();
  BindVaultControls();

  // A changed queue row (its text, state or selection) re-identifies the
  // chip; a changed card list updates the buttons.
  lvROMs->OnChange = [this] { lvROMsChange(); };
  lvCardRom->OnChange = [this] { lvCardRomChange(); };
  lvROMs->OnDblClick = [this] { lvROMsDblClick(); };
  lvCardRom->OnDblClick = [this] { lvCardRomDblClick(); };

  btnWrite->OnClick = [this] { btnWriteClick(); };
  btnRead->OnClick = [this] { btnReadClick(); };
  btnEraseChip->OnClick = [this] { btnEraseChipClick(); };
  btnReadSRAM->OnClick = [this] { btnReadSRAMClick(); };
  btnWriteSRAM->OnClick = [this] { btnWriteSRAMClick(); };
  btnReadAll->OnClick = [this] { btnReadAllClick(); };
  btnWriteAll->OnClick = [this] { btnWriteAllClick(); };
  BindTestControls();   // the factory test box and the port test window
  btnReadB->OnClick = [this] { btnReadBClick(); };
  btnWriteAllB->OnClick = [this] { btnWriteAllBClick(); };
  // lvROMs shows the queue: each row inserted or removed there is one row
  // inserted or removed in the list, with the list's change event.
  FQueue.OnChange = [this] { MirrorQueue(); };

  FPort.SetDeviceChangeHandler([this] { WMDeviceChange(DbtDevNodesChanged, 0); });
  FDevicePoll = FBinding.CreateTimer();
  FDevicePoll->OnTimer = [this] { FPort.PollDeviceEvents(); };
  FDevicePoll->SetInterval(DevicePollMs);
  FDevicePoll->SetEnabled(true);
}

void TMainForm::FormCreate(const std::vector<std::string>& Arguments) {
  int Major = 0, Minor = 0, Release = 0, Build = 0;
  GetVersionNumbers(FBinding.ProgramFile(), Major, Minor, Release, Build);
  WindowTitle += " (Ver:" + std::to_string(Major) + "." + std::to_string(Minor) + "." + std::to_string(Release) + ")";
  Window().SetCaption(WindowTitle);

  ShowInitialState();
  cbPart->SetItems({"Page NO. 1 (32M)", "Page NO. 2 (32M)"});
  cbPart->SetItemIndex(0);
  cbSize->SetItems({"32K", "64K", "128K", "256K", "512K", "1024K(1M)", "2048K(2M)", "4096K(4M)", "8192K(8M)"});
  cbSize->SetItemIndex(-1);

  pMain->SetEnabled(false);
  EnableOperationButtons(false);

  // Only the first argument may choose a factory test mode.
  const std::string First = Arguments.empty() ? std::string() : Lower(Arguments.front());
  if (First == "/rom")
    FState.TestROMMode = true;
  else if (First == "/sram")
    FState.TestSRAMMode = true;

  if (FState.TestROMMode || FState.TestSRAMMode) {
    // The test box covers the panel and the card buttons: none of them takes
    // the keyboard, so no key can choose another page under the test.
    pMain->SetFocusable(false);
    for (TButton* Covered : {btnWrite, btnWriteSRAM, btnRead, btnReadSRAM, btnEraseChip}) Covered->SetFocusable(false);
    gbTest->SetVisible(true);
    btnTestSRAM->SetVisible(true);
    gbTest->BringToFront();
    btnTestSRAM->BringToFront();
    if (FState.TestSRAMMode) gbTest->SetCaption("Test SRAM");
    if (FState.TestROMMode) {
      gbTest->SetCaption("Test ROM");
      btnTestWrite->SetVisible(true);
      btnTestFormat->SetVisible(true);
    }
  }
}

void TMainForm::ShowInitialState() {
  // The captions, and what is hidden until asked for; a binding may have
  // made its controls so already.
  for (const auto& [Control, Caption] : std::initializer_list<std::pair<TButton*, const char*>>{
           {btnRefresh, "Refresh"},     {btnWrite, "&Write"},      {btnWriteSRAM, "Write SRAM"},
           {btnRead, "&Read"},          {btnReadSRAM, "Read SRAM"}, {btnEraseChip, "&Format"},
           {btnReadB, "..."},           {btnWriteAllB, "..."},      {btnReadAll, "&Read"},
           {btnWriteAll, "&Write"},     {BitBtn1, "..."},           {btnTestWrite, "Write"},
           {btnTestFormat, "Format"},   {btnTestSRAM, "Test"}})
    Control->SetCaption(Caption);
  for (const auto& [Control, Caption] : std::initializer_list<std::pair<TLabel*, const char*>>{
           {AALabel1, "Flashquill"}, {Label2, "Data Page:"}, {Label3, "Read Size:"}, {Label1, "To File:"},
           {Label4, "From File:"},   {Label5, "Test File:"}})
    Control->SetCaption(Caption);
  gbWrite->SetCaption(" Ready to burn ");
  gbCardInfo->SetCaption(" Card Information ");
  gbAdvance->SetCaption(" Advance Read/Write");
  gbTest->SetCaption(" Read / Write ");
  pFindGame->SetCaption("Now loading...");
  ProgressBar->SetPosition(0);
  for (TControl* Hidden : std::initializer_list<TControl*>{imgConnect, pFindGame, btnRefresh, gbAdvance, btnReadAll,
                                                          btnWriteAll, gbTest, btnTestWrite, btnTestFormat, btnTestSRAM})
    Hidden->SetVisible(false);
  btnRead->SetEnabled(false);
}

void TMainForm::FormShow() { ConnectDevice(); }

void TMainForm::FirstIdle() {
  if (FFirstIdleDone) return;
  if (!FState.TestROMMode && !FState.TestSRAMMode) {
    UpdateQueueCaption();
    cbPartChange();
  }
  FFirstIdleDone = true;
}

bool TMainForm::ConnectDevice() {
  const bool Opened = FLink.Reconnect();
  imgConnect->SetVisible(Opened);
  IdentifyChip();
  ShowGameInfo();
  return Opened;
}

void TMainForm::WMDeviceChange(uintptr_t WParam, intptr_t LParam) {
  // A change that arrives during an operation is dropped, not kept for later.
  if (Busy() || FDroppingDeviceChanges || WParam != DbtDevNodesChanged || LParam != 0) return;
  ConnectDevice();
}

void TMainForm::FormDropFiles(const std::vector<std::string>& Files) {
  // Every dropped local file goes to the queue, whatever its type and also
  // while an operation runs; the queue checks it. Names are taken whole.
  for (const std::string& File : Files) AddGameFile(File);
}
