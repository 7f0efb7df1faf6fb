// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Window.h"

#include <dbt.h>
#include <shellapi.h>

#include <cstring>

#include "app/win32/Win32Binding.h"
#include "driver/BridgewickPublic.h"

namespace {

constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

int CALLBACK FamilyFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM Found) {
  *reinterpret_cast<bool*>(Found) = true;
  return 0;
}

bool HasFamily(const char* Family) {
  LOGFONTA Wanted{};
  Wanted.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(Wanted.lfFaceName, Family, LF_FACESIZE - 1);
  bool Found = false;
  HDC Screen = GetDC(nullptr);
  EnumFontFamiliesExA(Screen, &Wanted, FamilyFound, reinterpret_cast<LPARAM>(&Found), 0);
  ReleaseDC(nullptr, Screen);
  return Found;
}

// The window's own font family where the system has it, else the
// platform's dialog font.
const char* WindowFontFamily() {
  static const char* Family = HasFamily("SimSun") ? "SimSun" : "Tahoma";
  return Family;
}

}  // namespace

TWin32Window::TWin32Window(TWin32Binding& Binding, int ClientWidth, int ClientHeight, HWND Owner, HFONT Font)
    : FBinding(Binding), FOwner(Owner) {
  RECT Frame{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&Frame, FrameStyle, FALSE, 0);
  int Left = CW_USEDEFAULT, Top = CW_USEDEFAULT;
  if (Owner) {   // centred over the window it belongs to
    RECT Over;
    GetWindowRect(Owner, &Over);
    Left = (Over.left + Over.right - (Frame.right - Frame.left)) / 2;
    Top = (Over.top + Over.bottom - (Frame.bottom - Frame.top)) / 2;
  }
  HWND Window = CreateWindowExA(Owner ? WS_EX_DLGMODALFRAME : 0, RoutedClass("FlashquillForm"), "", FrameStyle, Left,
                                Top, Frame.right - Frame.left, Frame.bottom - Frame.top, Owner, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  Attach(Window);
  SendMessageA(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  FBinding.WindowMade(*this);
}

TWin32Window::~TWin32Window() {
  FBinding.WindowGone(*this);
  if (FDeviceNotify) UnregisterDeviceNotification(FDeviceNotify);
  if (FModal && FOwner) EnableWindow(FOwner, TRUE);
}

void TWin32Window::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  SetWindowTextA(Handle(), Caption.c_str());
}

void TWin32Window::AcceptDevicesAndFiles() {
  DEV_BROADCAST_DEVICEINTERFACE_A Filter{};
  Filter.dbcc_size = sizeof Filter;
  Filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  static_assert(sizeof(GUID) == sizeof(LinkInterfaceGuid));
  std::memcpy(&Filter.dbcc_classguid, &LinkInterfaceGuid, sizeof(GUID));
  FDeviceNotify = RegisterDeviceNotificationA(Handle(), &Filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  DragAcceptFiles(Handle(), TRUE);
}

void TWin32Window::Show() {
  const bool First = !FShown;
  FShown = true;
  FVisible = true;
  ShowWindow(Handle(), SW_SHOW);
  UpdateWindow(Handle());
  if (!First) return;
  if (OnShow) OnShow();
  // Once the loop first runs out of work after this show.
  FBinding.FirstIdleDue(*this);
}

void TWin32Window::ShowModal() {
  FModal = true;
  if (FOwner) EnableWindow(FOwner, FALSE);
  Show();
  while (FVisible && FBinding.WaitAndHandle()) {
  }
  if (FOwner) {
    EnableWindow(FOwner, TRUE);
    SetActiveWindow(FOwner);
  }
  FModal = false;
}

bool TWin32Window::Close() {
  if (OnCloseQuery && !OnCloseQuery()) return false;
  FVisible = false;
  // The owner takes the activation back before this one goes.
  if (FModal && FOwner) EnableWindow(FOwner, TRUE);
  ShowWindow(Handle(), SW_HIDE);
  PostMessageA(Handle(), WM_NULL, 0, 0);   // wakes a loop that waits
  return true;
}

bool TWin32Window::Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  Result = 0;
  switch (Msg) {
    case WM_CLOSE:
      Close();
      return true;
    case WM_DEVICECHANGE:
      if (OnDeviceChange) OnDeviceChange(static_cast<uintptr_t>(WParam), static_cast<intptr_t>(LParam));
      Result = TRUE;
      return true;
    case WM_DROPFILES: {
      auto* Drop = reinterpret_cast<HDROP>(WParam);
      std::vector<std::string> Files;
      const UINT Count = DragQueryFileA(Drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT I = 0; I < Count; ++I) {
        std::string File(DragQueryFileA(Drop, I, nullptr, 0) + 1, '\0');
        File.resize(DragQueryFileA(Drop, I, File.data(), static_cast<UINT>(File.size())));
        Files.push_back(File);
      }
      DragFinish(Drop);
      if (OnDropFiles && !Files.empty()) OnDropFiles(Files);
      return true;
    }
    case WM_ACTIVATEAPP:
      // The right Ctrl's release goes elsewhere while the program is not
      // the active one: it counts as up.
      if (!WParam && RightControlHeld) {
        RightControlHeld = false;
        if (OnRightControl) OnRightControl(false);
      }
      return false;
    case WM_SIZE:
      if (StatusBar) StatusBar->ParentSized();
      return false;
    default:
      return false;
  }
}

// ---- The form's window

TWin32FormWindow::TWin32FormWindow(TWin32Binding& Binding, int ClientWidth, int ClientHeight, HWND Owner)
    : FWindowFont(Font(WindowFontFamily(), 12, false)),
      FWindow(std::make_unique<TWin32Window>(Binding, ClientWidth, ClientHeight, Owner, FWindowFont)) {}

TWin32FormWindow::~TWin32FormWindow() {
  // The controls first, then the window that holds them, then the fonts.
  FOwned.clear();
  FLooks.clear();
  PopupMenu.reset();
  CardPopupMenu.reset();
  FWindow.reset();
  for (HFONT Made : FFonts) DeleteObject(Made);
}

TControl* TWin32FormWindow::Find(const std::string& Name) {
  auto Found = FByName.find(Name);
  return Found == FByName.end() ? nullptr : Found->second;
}

HFONT TWin32FormWindow::Font(const char* Family, int PixelHeight, bool Bold) {
  LOGFONTA Wanted{};
  Wanted.lfHeight = -PixelHeight;
  Wanted.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
  Wanted.lfCharSet = DEFAULT_CHARSET;
  Wanted.lfQuality = ANTIALIASED_QUALITY;
  std::strncpy(Wanted.lfFaceName, Family ? Family : WindowFontFamily(), LF_FACESIZE - 1);
  FFonts.push_back(CreateFontIndirectA(&Wanted));
  return FFonts.back();
}

void TWin32FormWindow::Hold(TControl& Holder, TControl& Held) {
  if (auto* Panel = dynamic_cast<TWin32Panel*>(&Holder)) Panel->Children.push_back(&Held);
}
