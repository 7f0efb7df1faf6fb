// SPDX-License-Identifier: GPL-3.0-or-later
// The window on the platform's own controls, with the real form on the
// emulated cable: every control the form asks for is there, and the
// platform's messages (clicks, typed keys, the right Ctrl key, device
// changes, dropped files, the first idle moment, the modal port test
// window) reach the form's handlers.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/form/Dialogs.h"
#include "app/form/FormControls.h"
#include "app/form/MainForm.h"
#include "app/win32/Win32Binding.h"
#include "app/win32/Win32Controls.h"
#include "app/win32/Win32Window.h"
#include "core/link/LinkPortFactory.h"

namespace {

// Counts how often the form opens the cable: each connection is one Open.
class TCountingPort : public TLinkPort {
public:
  explicit TCountingPort(std::unique_ptr<TLinkPort> Inner) : FInner(std::move(Inner)) {}
  intptr_t Open() override {
    ++Opens;
    return FInner->Open();
  }
  void Close() override { FInner->Close(); }
  long Write(const uint8_t* Data, size_t Count) override { return FInner->Write(Data, Count); }
  long Read(uint8_t* Data, size_t Count) override { return FInner->Read(Data, Count); }
  int LastError() const override { return FInner->LastError(); }
  std::string Describe() const override { return FInner->Describe(); }
  int Opens = 0;

private:
  std::unique_ptr<TLinkPort> FInner;
};

// Dialogs that answer at once and say what was asked.
class TAnsweringDialogs : public TDialogs {
public:
  int ShowMessageBox(const std::string& Text, const std::string&, int) override {
    Boxes.push_back(Text);
    return 7;
  }
  bool ChooseOpenFiles(const std::string&, const std::string&, bool, std::vector<std::string>&) override {
    ++OpenChoices;
    return false;
  }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override { return false; }
  bool BrowseForFolder(const std::string&, std::string&) override { return false; }
  std::vector<std::string> Boxes;
  int OpenChoices = 0;
};

std::string TemporaryCard() {
  char Base[MAX_PATH + 1] = {};
  GetTempPathA(sizeof Base, Base);
  const std::filesystem::path Folder =
      std::filesystem::path(Base) / ("fq-win32-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                     std::to_string(GetTickCount()));
  std::filesystem::create_directories(Folder);
  return Folder.string();
}

HWND HandleOf(TControl* Control) { return dynamic_cast<TWin32Handle&>(*Control).Handle(); }

class Win32Window : public ::testing::Test {
protected:
  void SetUp() override {
    TLinkOptions Options;
    Options.Emulate = true;
    Options.EmulateDir = TemporaryCard();
    std::string Error;
    auto Inner = MakeLinkPort(Options, Error);
    ASSERT_TRUE(Inner) << Error;
    Port = std::make_unique<TCountingPort>(std::move(Inner));
    Form = std::make_unique<TMainForm>(Binding, *Port, Dialogs, std::vector<std::string>());
    Form->Show();
    Settle();
  }
  void TearDown() override {
    Form.reset();
    Port.reset();
  }
  // A few passes of the loop, as the running program makes them.
  void Settle() {
    for (int Pass = 0; Pass < 5; ++Pass) Binding.ProcessMessages();
  }
  HWND Main() { return dynamic_cast<TWin32FormWindow&>(Form->FormWindow()).Handle(); }

  TWin32Binding Binding;
  TAnsweringDialogs Dialogs;
  std::unique_ptr<TCountingPort> Port;
  std::unique_ptr<TMainForm> Form;
};

TEST_F(Win32Window, MakesEveryControlOfTheFormWithItsKind) {
  for (const TControlInfo& Info : MainFormControls()) {
    TControl* Control = Form->FormWindow().Find(Info.Name);
    ASSERT_NE(Control, nullptr) << Info.Name;
    if (Info.Kind != TControlKind::MenuItem) {
      EXPECT_TRUE(IsWindow(HandleOf(Control))) << Info.Name;
    }
  }
  RECT Client;
  GetClientRect(Main(), &Client);
  EXPECT_EQ(Client.right, 504);
  EXPECT_EQ(Client.bottom, 449);
  EXPECT_EQ(WindowText(Main()).rfind("Flashquill (Ver:", 0), 0u) << WindowText(Main());
  // The list views in report mode with their columns.
  HWND Header = reinterpret_cast<HWND>(SendMessageA(HandleOf(Form->lvROMs), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(Header, HDM_GETITEMCOUNT, 0, 0), 3);
  Header = reinterpret_cast<HWND>(SendMessageA(HandleOf(Form->lvCardRom), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(Header, HDM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(Win32Window, FirstIdleComesOnceTheLoopRunsDryAndTheStatusBarShowsTheCable) {
  EXPECT_TRUE(Form->FirstIdleDone());
  char Text[64] = {};
  SendMessageA(HandleOf(Form->StatusBar), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(Text));
  EXPECT_STREQ(Text, "Device Connected");
  EXPECT_EQ(Form->cbPart->ItemIndex(), 0);
}

TEST_F(Win32Window, DeviceTreeChangeReconnectsOtherDeviceMessagesDoNot) {
  const int Before = Port->Opens;
  SendMessageA(Main(), WM_DEVICECHANGE, 0x8000 /* an arrival */, 0);
  EXPECT_EQ(Port->Opens, Before);
  SendMessageA(Main(), WM_DEVICECHANGE, 7 /* the device tree changed */, 0);
  EXPECT_EQ(Port->Opens, Before + 1);
}

TEST_F(Win32Window, ClicksReachTheHandlersOnlyWhileEnabled) {
  // btnAdd lies in a group box on the main panel: its click travels up
  // through both to the form.
  SendMessageA(HandleOf(Form->btnAdd), BM_CLICK, 0, 0);
  EXPECT_EQ(Dialogs.OpenChoices, 1);
  Form->btnAdd->SetEnabled(false);
  SendMessageA(HandleOf(Form->btnAdd), BM_CLICK, 0, 0);
  EXPECT_EQ(Dialogs.OpenChoices, 1);
}

TEST_F(Win32Window, TypedKeysReachTheFormBeforeTheControl) {
  ASSERT_FALSE(Form->gbAdvance->Visible());
  for (char Key : std::string("kvq")) PostMessageA(HandleOf(Form->lvROMs), WM_CHAR, static_cast<WPARAM>(Key), 1);
  Settle();
  EXPECT_TRUE(Form->gbAdvance->Visible());
  EXPECT_TRUE(IsWindowVisible(HandleOf(Form->gbAdvance)));
}

TEST_F(Win32Window, RightControlIsToldFromTheLeftOne) {
  constexpr LPARAM Extended = 1 << 24;
  PostMessageA(HandleOf(Form->lvROMs), WM_KEYDOWN, VK_CONTROL, 1);   // the left one
  Settle();
  EXPECT_FALSE(Form->RightControlDown());
  PostMessageA(HandleOf(Form->lvROMs), WM_KEYDOWN, VK_CONTROL, 1 | Extended);
  Settle();
  EXPECT_TRUE(Form->RightControlDown());
  PostMessageA(HandleOf(Form->lvROMs), WM_KEYUP, VK_CONTROL, 1 | Extended | (3u << 30));
  Settle();
  EXPECT_FALSE(Form->RightControlDown());
}

TEST_F(Win32Window, DroppedFilesGoToTheQueueAndItsList) {
  std::string Game = FQ_GAMES_DIR "/demo32.gb";
  std::replace(Game.begin(), Game.end(), '/', '\\');
  ASSERT_TRUE(std::filesystem::is_regular_file(Game)) << Game;
  // A drop as the shell hands it over: the names after a DROPFILES head.
  const size_t Size = sizeof(DROPFILES) + Game.size() + 2;
  HGLOBAL Memory = GlobalAlloc(GHND, Size);
  auto* Drop = static_cast<DROPFILES*>(GlobalLock(Memory));
  Drop->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(Drop) + sizeof(DROPFILES), Game.c_str(), Game.size());
  GlobalUnlock(Memory);
  SendMessageA(Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(Memory), 0);
  Settle();
  ASSERT_EQ(Form->lvROMs->RowCount(), 1);
  HWND List = HandleOf(Form->lvROMs);
  EXPECT_EQ(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0), 1);
  // The user selects the row in the list itself: the form hears of it and
  // offers Remove.
  EXPECT_FALSE(Form->BitBtn3->Enabled());
  LVITEMA Item{};
  Item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  Item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(List, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&Item));
  EXPECT_TRUE(Form->lvROMs->Selected(0));
  EXPECT_TRUE(Form->BitBtn3->Enabled());
}

// The shown window that Owner owns, if any.
HWND OwnedWindow(HWND Owner) {
  struct TSearch {
    HWND Owner;
    HWND Found = nullptr;
  } Search{Owner};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND Window, LPARAM Data) -> BOOL {
        auto* S = reinterpret_cast<TSearch*>(Data);
        if (GetWindow(Window, GW_OWNER) != S->Owner || !IsWindowVisible(Window)) return TRUE;
        S->Found = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

TEST_F(Win32Window, PortTestWindowIsModalAndClosesOnEsc) {
  HWND Seen = nullptr;
  std::string Caption;
  bool MainDisabled = false;
  std::unique_ptr<TTimer> Watch = Binding.CreateTimer();
  Watch->OnTimer = [&] {
    HWND Shown = OwnedWindow(Main());
    if (!Shown) return;
    Seen = Shown;
    Caption = WindowText(Shown);
    MainDisabled = !IsWindowEnabled(Main());
    Watch->SetEnabled(false);
    PostMessageA(Shown, WM_CHAR, 27, 1);   // Esc
  };
  Watch->SetInterval(50);
  Watch->SetEnabled(true);
  Form->OpenPortTestWindow();
  ASSERT_NE(Seen, nullptr);
  EXPECT_EQ(Caption, "IO Test");
  EXPECT_TRUE(MainDisabled);
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_FALSE(IsWindow(Seen));   // made fresh for each opening, gone after it
}

}  // namespace
