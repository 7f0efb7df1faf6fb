// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/win32/Win32Controls.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vsstyle.h>

#include <algorithm>
#include <climits>
#include <map>

namespace {

COLORREF ColourRef(TColour Colour) { return RGB(Colour.R, Colour.G, Colour.B); }

// The shadow of the window's big caption: its text colour at 70 of 255
// over the window's face.
COLORREF Blend(COLORREF Over, COLORREF Under, int Alpha) {
  auto Mix = [Alpha](int A, int B) { return static_cast<BYTE>((A * Alpha + B * (255 - Alpha)) / 255); };
  return RGB(Mix(GetRValue(Over), GetRValue(Under)), Mix(GetGValue(Over), GetGValue(Under)),
             Mix(GetBValue(Over), GetBValue(Under)));
}

}  // namespace

// ---- Button

TWin32Button::TWin32Button(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, TStyle Style,
                           std::optional<COLORREF> CaptionColour)
    : FCaption(Caption), FStyle(Style), FColour(CaptionColour) {
  DWORD Kind = BS_PUSHBUTTON;
  if (Style == TStyle::Toggle) Kind = BS_PUSHLIKE | BS_CHECKBOX;
  if (Style == TStyle::Flat) Kind = BS_PUSHBUTTON | BS_FLAT;
  if (FColour) Kind = BS_OWNERDRAW;
  // Speed buttons (the port test window's) never take the keyboard focus.
  const bool TakesFocus = Style == TStyle::Push;
  Create(CreateChild("BUTTON", Caption, Kind | (TakesFocus ? WS_TABSTOP : 0), 0, Parent, Where, Font), TakesFocus);
}

void TWin32Button::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  SetWindowTextA(Handle(), Caption.c_str());
}

void TWin32Button::SetDown(bool Down) {
  FDown = Down;
  if (FStyle == TStyle::Toggle) SendMessageA(Handle(), BM_SETCHECK, Down ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TWin32Button::Command(WORD Code) {
  if (Code == BN_CLICKED) Click();
}

bool TWin32Button::DrawItem(const DRAWITEMSTRUCT& Item) {
  RECT Area = Item.rcItem;
  HDC Context = Item.hDC;
  const bool Pressed = Item.itemState & ODS_SELECTED;
  const bool Greyed = Item.itemState & ODS_DISABLED;
  // The platform's own button face (themed where a theme is on), then the
  // caption in its colour.
  if (HTHEME Theme = OpenThemeData(Item.hwndItem, L"BUTTON")) {
    const int State = Greyed ? PBS_DISABLED : Pressed ? PBS_PRESSED : PBS_NORMAL;
    DrawThemeBackground(Theme, Context, BP_PUSHBUTTON, State, &Area, nullptr);
    CloseThemeData(Theme);
  } else {
    DrawFrameControl(Context, &Area, DFC_BUTTON, DFCS_BUTTONPUSH | (Pressed ? DFCS_PUSHED : 0));
  }
  RECT Text = Area;
  if (Pressed) OffsetRect(&Text, 1, 1);
  SetBkMode(Context, TRANSPARENT);
  SetTextColor(Context, Greyed ? GetSysColor(COLOR_GRAYTEXT) : *FColour);
  const UINT Flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((Item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  DrawTextA(Context, FCaption.c_str(), -1, &Text, Flags);
  if (Item.itemState & ODS_FOCUS) {
    InflateRect(&Area, -4, -4);
    DrawFocusRect(Context, &Area);
  }
  return true;
}

// ---- Labels

TWin32Label::TWin32Label(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, DWORD Align)
    : FCaption(Caption) {
  Create(CreateChild("STATIC", Caption, Align | SS_NOTIFY, 0, Parent, Where, Font), false);
}

void TWin32Label::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  SetWindowTextA(Handle(), Caption.c_str());
}

void TWin32Label::SetFontColour(TColour Colour) {
  FColour = Colour;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TWin32Label::Command(WORD Code) {
  if (!Enabled()) return;
  if (Code == STN_DBLCLK && OnDblClick) OnDblClick();
  if (Code == STN_CLICKED) Click();
}

HBRUSH TWin32Label::StaticColours(HDC Context) {
  SetBkMode(Context, TRANSPARENT);
  if (Enabled()) SetTextColor(Context, ColourRef(FColour));
  return GetSysColorBrush(COLOR_BTNFACE);
}

TWin32ShadowLabel::TWin32ShadowLabel(HWND Parent, RECT Where, HFONT Font, const std::string& Caption)
    : FCaption(Caption), FFont(Font) {
  Create(CreateChild(RoutedClass("FlashquillCaption", CS_DBLCLKS), Caption, 0, 0, Parent, Where, Font), false);
}

void TWin32ShadowLabel::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TWin32ShadowLabel::SetFontColour(TColour Colour) {
  FColour = Colour;
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TWin32ShadowLabel::Message(UINT Msg, WPARAM, LPARAM, LRESULT& Result) {
  if (Msg == WM_LBUTTONDBLCLK) {
    if (Enabled() && OnDblClick) OnDblClick();
    return true;
  }
  if (Msg != WM_PAINT) return false;
  PAINTSTRUCT Paint;
  HDC Context = BeginPaint(Handle(), &Paint);
  RECT Area;
  GetClientRect(Handle(), &Area);
  Area.left += 2;
  Area.right -= 2;
  Area.bottom -= 2;
  HGDIOBJ Old = SelectObject(Context, FFont);
  SetBkMode(Context, TRANSPARENT);
  const COLORREF Text = Enabled() ? ColourRef(FColour) : GetSysColor(COLOR_GRAYTEXT);
  const UINT Flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  RECT Shadow = Area;
  OffsetRect(&Shadow, 2, 2);
  SetTextColor(Context, Blend(Text, GetSysColor(COLOR_BTNFACE), 70));
  DrawTextA(Context, FCaption.c_str(), -1, &Shadow, Flags);
  SetTextColor(Context, Text);
  DrawTextA(Context, FCaption.c_str(), -1, &Area, Flags);
  SelectObject(Context, Old);
  EndPaint(Handle(), &Paint);
  Result = 0;
  return true;
}

// ---- Image

TWin32Image::TWin32Image(HWND Parent, RECT Where, HICON Picture) : FPicture(Picture) {
  Create(CreateChild(RoutedClass("FlashquillImage"), "", 0, 0, Parent, Where, nullptr), false);
}

bool TWin32Image::Message(UINT Msg, WPARAM, LPARAM LParam, LRESULT& Result) {
  Result = 0;
  if (Msg == WM_LBUTTONUP) {
    RECT Area;
    GetClientRect(Handle(), &Area);
    const POINT At{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
    if (PtInRect(&Area, At)) Click();
    return true;
  }
  if (Msg != WM_PAINT) return false;
  PAINTSTRUCT Paint;
  HDC Context = BeginPaint(Handle(), &Paint);
  RECT Area;
  GetClientRect(Handle(), &Area);
  DrawIconEx(Context, 0, 0, FPicture, Area.right, Area.bottom, 0, nullptr, DI_NORMAL);
  EndPaint(Handle(), &Paint);
  return true;
}

// ---- Panels and group boxes

TWin32Panel::TWin32Panel(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, TFrame Frame)
    : FCaption(Caption), FFont(Font), FFrame(Frame) {
  Create(CreateChild(RoutedClass("FlashquillPanel", CS_DBLCLKS), Caption, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                     Parent, Where, Font),
         false);
}

void TWin32Panel::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TWin32Panel::Message(UINT Msg, WPARAM, LPARAM, LRESULT& Result) {
  Result = 0;
  switch (Msg) {
    case WM_LBUTTONDBLCLK:
      if (Enabled() && OnDblClick) OnDblClick();
      return true;
    case WM_PAINT: {
      PAINTSTRUCT Paint;
      HDC Context = BeginPaint(Handle(), &Paint);
      this->Paint(Context);
      EndPaint(Handle(), &Paint);
      return true;
    }
    default:
      return false;
  }
}

void TWin32Panel::Paint(HDC Context) {
  RECT Area;
  GetClientRect(Handle(), &Area);
  HGDIOBJ Old = SelectObject(Context, FFont);
  SetBkMode(Context, TRANSPARENT);
  SetTextColor(Context, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  if (FFrame == TFrame::Group) {
    // The frame runs through the middle of the caption's line; the caption
    // sits on it, 8 pixels in, on the face colour.
    TEXTMETRICA Metrics;
    GetTextMetricsA(Context, &Metrics);
    RECT Frame = Area;
    Frame.top = Metrics.tmHeight / 2;
    DrawEdge(Context, &Frame, EDGE_ETCHED, BF_RECT);
    if (!FCaption.empty()) {
      RECT Text{8, 0, 8, Metrics.tmHeight};
      DrawTextA(Context, FCaption.c_str(), -1, &Text, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
      SetBkMode(Context, OPAQUE);
      SetBkColor(Context, GetSysColor(COLOR_BTNFACE));
      DrawTextA(Context, FCaption.c_str(), -1, &Text, DT_SINGLELINE | DT_NOPREFIX);
    }
  } else {
    if (FFrame == TFrame::Raised) DrawEdge(Context, &Area, BDR_RAISEDINNER, BF_RECT);
    if (FFrame == TFrame::RaisedTwice) DrawEdge(Context, &Area, EDGE_RAISED, BF_RECT);
    if (!FCaption.empty())
      DrawTextA(Context, FCaption.c_str(), -1, &Area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(Context, Old);
}

// ---- Edits and choices

TWin32Edit::TWin32Edit(HWND Parent, RECT Where, HFONT Font, const std::string& Text, int MaxLength) {
  Create(CreateChild("EDIT", Text, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, Parent, Where, Font), true);
  if (MaxLength > 0) SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(MaxLength), 0);
}

TWin32ComboBox::TWin32ComboBox(HWND Parent, RECT Where, HFONT Font) {
  // The window's height here is that of the opened list; the closed box
  // takes the height of its selection field.
  RECT Dropped = Where;
  Dropped.bottom = Dropped.top + 220;
  Create(CreateChild("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, Parent, Dropped, Font), true);
  const int Field = static_cast<int>(Where.bottom - Where.top) - 6;
  SendMessageA(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Field);
}

void TWin32ComboBox::SetItems(const std::vector<std::string>& Items) {
  SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
  for (const std::string& Item : Items) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
}

int TWin32ComboBox::ItemCount() const { return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0)); }

void TWin32ComboBox::SetItemIndex(int Index) {
  SendMessageA(Handle(), CB_SETCURSEL, Index >= 0 && Index < ItemCount() ? static_cast<WPARAM>(Index) : static_cast<WPARAM>(-1), 0);
}

int TWin32ComboBox::ItemIndex() const { return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0)); }

std::string TWin32ComboBox::Text() const {
  const int Index = ItemIndex();
  if (Index < 0) return std::string();
  const LRESULT Length = SendMessageA(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(Index), 0);
  if (Length <= 0) return std::string();
  std::string Text(static_cast<size_t>(Length) + 1, '\0');
  SendMessageA(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(static_cast<size_t>(Length));
  return Text;
}

void TWin32ComboBox::Command(WORD Code) {
  if (Code == CBN_SELCHANGE && Enabled() && OnChange) OnChange();
}

TWin32CheckBox::TWin32CheckBox(HWND Parent, RECT Where, HFONT Font, const std::string& Caption) {
  Create(CreateChild("BUTTON", Caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, Parent, Where, Font), true);
}

void TWin32CheckBox::SetChecked(bool Checked) {
  SendMessageA(Handle(), BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TWin32CheckBox::Checked() const { return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TWin32CheckBox::Command(WORD Code) {
  if (Code == BN_CLICKED) Click();
}

TWin32SpinEdit::TWin32SpinEdit(HWND Parent, RECT Where, HFONT Font) {
  Create(CreateChild("EDIT", "0", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, Parent, Where, Font), true);
  FArrows = CreateWindowExA(0, UPDOWN_CLASSA, nullptr,
                            WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            0, 0, 0, 0, Parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowPos(FArrows, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(FArrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
  SendMessageA(FArrows, UDM_SETRANGE32, static_cast<WPARAM>(INT_MIN), INT_MAX);
}

TWin32SpinEdit::~TWin32SpinEdit() {
  if (IsWindow(FArrows)) DestroyWindow(FArrows);
}

void TWin32SpinEdit::SetValue(int Value) {
  SendMessageA(FArrows, UDM_SETPOS32, 0, Value);
  SetWindowTextA(Handle(), std::to_string(Value).c_str());
}

void TWin32SpinEdit::SetVisible(bool Visible) {
  TWin32Control<TSpinEdit>::SetVisible(Visible);
  ShowWindow(FArrows, Visible ? SW_SHOWNA : SW_HIDE);
}

void TWin32SpinEdit::SetEnabled(bool Enabled) {
  TWin32Control<TSpinEdit>::SetEnabled(Enabled);
  EnableWindow(FArrows, Enabled);
}

TWin32ProgressBar::TWin32ProgressBar(HWND Parent, RECT Where) {
  Create(CreateChild(PROGRESS_CLASSA, "", PBS_SMOOTH, 0, Parent, Where, nullptr), false);
  SendMessageA(Handle(), PBM_SETRANGE32, 0, 100);
}

void TWin32ProgressBar::SetPosition(int Position) {
  FPosition = std::clamp(Position, 0, 100);
  SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(FPosition), 0);
}

// ---- Status bar

TWin32StatusBar::TWin32StatusBar(HWND Parent, HFONT Font, int Height, int FirstWidth) {
  Create(CreateChild(STATUSCLASSNAMEA, "", CCS_BOTTOM, 0, Parent, RECT{0, 0, 0, 0}, Font), false);
  // The bar's height comes from its font and borders; it is asked for the
  // window's, less the borders it adds itself.
  int Borders[3] = {};
  SendMessageA(Handle(), SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(Borders));
  SendMessageA(Handle(), SB_SETMINHEIGHT, static_cast<WPARAM>(std::max(0, Height - 2 * Borders[1])), 0);
  int Parts[2] = {FirstWidth, -1};
  SendMessageA(Handle(), SB_SETPARTS, 2, reinterpret_cast<LPARAM>(Parts));
  ParentSized();
}

void TWin32StatusBar::SetPanelText(int Panel, const std::string& Text) {
  const int Part = Panel == 0 ? 0 : 1;
  FText[Part] = Text;
  SendMessageA(Handle(), SB_SETTEXTA, static_cast<WPARAM>(Part), reinterpret_cast<LPARAM>(Text.c_str()));
}

void TWin32StatusBar::ParentSized() { SendMessageA(Handle(), WM_SIZE, 0, 0); }

// ---- Popup menu

TWin32PopupMenu::TWin32PopupMenu() : FMenu(CreatePopupMenu()) {}

TWin32PopupMenu::~TWin32PopupMenu() { DestroyMenu(FMenu); }

TWin32MenuItem& TWin32PopupMenu::Add(const std::string& Caption) {
  const UINT Id = static_cast<UINT>(FItems.size()) + 1;
  AppendMenuA(FMenu, MF_STRING, Id, Caption.c_str());
  FItems.push_back(std::make_unique<TWin32MenuItem>(FMenu, Id, Caption));
  return *FItems.back();
}

void TWin32PopupMenu::AddSeparator() { AppendMenuA(FMenu, MF_SEPARATOR, 0, nullptr); }

void TWin32PopupMenu::Popup(HWND Owner, int X, int Y) {
  const UINT Chosen = static_cast<UINT>(
      TrackPopupMenu(FMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, X, Y, 0, Owner, nullptr));
  for (const auto& Item : FItems) {
    if (Item->Id() != Chosen || !Item->Enabled()) continue;
    // A checkable item flips its mark before its event, as the form expects.
    if (Item->Checkable()) Item->SetChecked(!Item->Checked());
    Item->Click();
  }
}

TWin32MenuItem::TWin32MenuItem(HMENU Menu, UINT Id, const std::string& Caption)
    : FMenu(Menu), FId(Id), FCaption(Caption) {}

void TWin32MenuItem::SetEnabled(bool Enabled) {
  FEnabled = Enabled;
  EnableMenuItem(FMenu, FId, MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
}

void TWin32MenuItem::SetCaption(const std::string& Caption) {
  FCaption = Caption;
  ModifyMenuA(FMenu, FId,
              MF_BYCOMMAND | MF_STRING | (FEnabled ? MF_ENABLED : MF_GRAYED) | (FChecked ? MF_CHECKED : MF_UNCHECKED),
              FId, Caption.c_str());
}

void TWin32MenuItem::SetChecked(bool Checked) {
  FChecked = Checked;
  CheckMenuItem(FMenu, FId, MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED));
}

// ---- List view

TWin32ListView::TWin32ListView(HWND Parent, RECT Where, HFONT Font,
                               const std::vector<std::pair<std::string, int>>& Columns)
    : FColumns(Columns.size()) {
  Create(CreateChild(WC_LISTVIEWA, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE, Parent, Where,
                     Font),
         true);
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  for (size_t I = 0; I < Columns.size(); ++I) {
    LVCOLUMNA Column{};
    Column.mask = LVCF_TEXT | LVCF_WIDTH;
    Column.pszText = const_cast<char*>(Columns[I].first.c_str());
    Column.cx = Columns[I].second;
    SendMessageA(Handle(), LVM_INSERTCOLUMNA, I, reinterpret_cast<LPARAM>(&Column));
  }
}

void TWin32ListView::InsertRow(int Index, const TRow& Cells) {
  Index = std::clamp(Index, 0, RowCount());
  FRows.insert(FRows.begin() + Index, Cells);
  FQuiet = true;
  LVITEMA Item{};
  Item.mask = LVIF_TEXT;
  Item.iItem = Index;
  std::string First = Cells.empty() ? std::string() : Cells[0];
  Item.pszText = First.data();
  SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&Item));
  for (size_t Column = 1; Column < FColumns && Column < Cells.size(); ++Column) {
    std::string Text = Cells[Column];
    LVITEMA Sub{};
    Sub.iSubItem = static_cast<int>(Column);
    Sub.pszText = Text.data();
    SendMessageA(Handle(), LVM_SETITEMTEXTA, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Sub));
  }
  FQuiet = false;
  Changed();
}

void TWin32ListView::DeleteRow(int Index) {
  if (Index < 0 || Index >= RowCount()) return;
  FRows.erase(FRows.begin() + Index);
  FQuiet = true;
  SendMessageA(Handle(), LVM_DELETEITEM, static_cast<WPARAM>(Index), 0);
  FQuiet = false;
  Changed();
}

void TWin32ListView::Clear() {
  if (FRows.empty()) return;
  FRows.clear();
  FQuiet = true;
  SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0);
  FQuiet = false;
  Changed();
}

void TWin32ListView::SetSelected(int Index, bool Selected) {
  if (Index < 0 || Index >= RowCount() || this->Selected(Index) == Selected) return;
  LVITEMA Item{};
  Item.stateMask = LVIS_SELECTED;
  Item.state = Selected ? LVIS_SELECTED : 0;
  FQuiet = true;
  SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&Item));
  FQuiet = false;
  Changed();
}

bool TWin32ListView::Selected(int Index) const {
  return SendMessageA(Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(Index), LVIS_SELECTED) & LVIS_SELECTED;
}

bool TWin32ListView::Notify(NMHDR* Header, LRESULT& Result) {
  Result = 0;
  if (Header->code == LVN_ITEMCHANGED) {
    const auto* Change = reinterpret_cast<const NMLISTVIEW*>(Header);
    // The user changed the selection: each row that changed is one change.
    if (!FQuiet && (Change->uChanged & LVIF_STATE) && ((Change->uOldState ^ Change->uNewState) & LVIS_SELECTED))
      Changed();
    return true;
  }
  if (Header->code == NM_DBLCLK) {
    if (Enabled() && OnDblClick) OnDblClick();
    return true;
  }
  return false;
}

bool TWin32ListView::ContextMenu(int X, int Y) {
  if (!PopupMenu || !Enabled()) return false;
  if (X == -1 && Y == -1) {   // from the keyboard: at the list's corner
    RECT Area;
    GetWindowRect(Handle(), &Area);
    X = Area.left + 8;
    Y = Area.top + 8;
  }
  PopupMenu->Popup(GetAncestor(Handle(), GA_ROOT), X, Y);
  return true;
}

// ---- Timer

namespace {
std::map<UINT_PTR, TWin32Timer*>& RunningTimers() {
  static std::map<UINT_PTR, TWin32Timer*> Timers;
  return Timers;
}
}  // namespace

TWin32Timer::~TWin32Timer() { SetEnabled(false); }

void TWin32Timer::SetInterval(int Milliseconds) {
  FInterval = Milliseconds;
  Restart();
}

void TWin32Timer::SetEnabled(bool Enabled) {
  FEnabled = Enabled;
  Restart();
}

void TWin32Timer::Restart() {
  if (FId) {
    KillTimer(nullptr, FId);
    RunningTimers().erase(FId);
    FId = 0;
  }
  if (!FEnabled || FInterval <= 0) return;
  FId = SetTimer(nullptr, 0, static_cast<UINT>(FInterval), &TWin32Timer::Tick);
  if (FId) RunningTimers()[FId] = this;
}

void CALLBACK TWin32Timer::Tick(HWND, UINT, UINT_PTR Id, DWORD) {
  auto Found = RunningTimers().find(Id);
  if (Found != RunningTimers().end() && Found->second->OnTimer) Found->second->OnTimer();
}
