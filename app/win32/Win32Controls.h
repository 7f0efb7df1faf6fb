// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form/Controls.h"
#include "app/win32/Win32Control.h"

// The controls of the form over the platform's own (common) controls.

// A push button; a speed button that stays down (a push-like check box the
// form sets); or a flat one. A caption colour makes it draw its own caption
// in that colour, bold.
class TWin32Button : public TWin32Control<TButton> {
public:
  enum class TStyle { Push, Toggle, Flat };
  TWin32Button(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, TStyle Style = TStyle::Push,
               std::optional<COLORREF> CaptionColour = std::nullopt);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  void SetDown(bool Down) override;
  bool Down() const override { return FDown; }
  void Command(WORD Code) override;
  bool DrawItem(const DRAWITEMSTRUCT& Item) override;

private:
  std::string FCaption;
  TStyle FStyle;
  std::optional<COLORREF> FColour;
  bool FDown = false;
};

// A caption on the window; a double-click reaches OnDblClick.
class TWin32Label : public TWin32Control<TLabel> {
public:
  TWin32Label(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, DWORD Align = SS_LEFT);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  void SetFontColour(TColour Colour) override;
  TColour FontColour() const override { return FColour; }
  void Command(WORD Code) override;
  HBRUSH StaticColours(HDC Context) override;

private:
  std::string FCaption;
  TColour FColour;
};

// The window's big caption: drawn with a light shadow, as the window's title
// art.
class TWin32ShadowLabel : public TWin32Control<TLabel> {
public:
  TWin32ShadowLabel(HWND Parent, RECT Where, HFONT Font, const std::string& Caption);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  void SetFontColour(TColour Colour) override;
  TColour FontColour() const override { return FColour; }
  bool Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

private:
  std::string FCaption;
  HFONT FFont;
  TColour FColour;
};

// A picture (an icon of the program's resources) that reports clicks.
class TWin32Image : public TWin32Control<TControl> {
public:
  TWin32Image(HWND Parent, RECT Where, HICON Picture);
  bool Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

private:
  HICON FPicture;
};

// A panel (a plain or raised area, its caption in the middle) or a group box
// (an etched frame with its caption at the top); both hold controls.
class TWin32Panel : public TWin32Control<TPanel> {
public:
  enum class TFrame { None, Raised, RaisedTwice, Group };
  TWin32Panel(HWND Parent, RECT Where, HFONT Font, const std::string& Caption, TFrame Frame);
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  bool Message(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

private:
  void Paint(HDC Context);
  std::string FCaption;
  HFONT FFont;
  TFrame FFrame;
};

class TWin32Edit : public TWin32Control<TEdit> {
public:
  TWin32Edit(HWND Parent, RECT Where, HFONT Font, const std::string& Text, int MaxLength = 0);
  void SetText(const std::string& Text) override { SetWindowTextA(Handle(), Text.c_str()); }
  std::string Text() const override { return WindowText(Handle()); }
};

class TWin32ComboBox : public TWin32Control<TComboBox> {
public:
  TWin32ComboBox(HWND Parent, RECT Where, HFONT Font);
  void SetItems(const std::vector<std::string>& Items) override;
  int ItemCount() const override;
  void SetItemIndex(int Index) override;
  int ItemIndex() const override;
  std::string Text() const override;
  void Command(WORD Code) override;
};

class TWin32CheckBox : public TWin32Control<TCheckBox> {
public:
  TWin32CheckBox(HWND Parent, RECT Where, HFONT Font, const std::string& Caption);
  void SetChecked(bool Checked) override;
  bool Checked() const override;
  void SetCaption(const std::string& Caption) override { SetWindowTextA(Handle(), Caption.c_str()); }
  void Command(WORD Code) override;
};

// An edit with an up-down control at its right edge.
class TWin32SpinEdit : public TWin32Control<TSpinEdit> {
public:
  TWin32SpinEdit(HWND Parent, RECT Where, HFONT Font);
  ~TWin32SpinEdit() override;
  void SetValue(int Value) override;
  std::string Text() const override { return WindowText(Handle()); }
  void SetVisible(bool Visible) override;
  void SetEnabled(bool Enabled) override;

private:
  HWND FArrows;
};

class TWin32ProgressBar : public TWin32Control<TProgressBar> {
public:
  TWin32ProgressBar(HWND Parent, RECT Where);
  void SetPosition(int Position) override;
  int Position() const override { return FPosition; }
  int Max() const override { return 100; }

private:
  int FPosition = 0;
};

// The status bar at the window's foot: panel 0 FirstWidth pixels wide, panel
// 1 the rest.
class TWin32StatusBar : public TWin32Control<TStatusBar> {
public:
  TWin32StatusBar(HWND Parent, HFONT Font, int Height, int FirstWidth);
  void SetPanelText(int Panel, const std::string& Text) override;
  std::string PanelText(int Panel) const override { return FText[Panel == 0 ? 0 : 1]; }
  // The window was sized: the bar keeps to its foot.
  void ParentSized();

private:
  std::string FText[2];
};

class TWin32MenuItem;

// A popup menu: its items in order.
class TWin32PopupMenu {
public:
  TWin32PopupMenu();
  ~TWin32PopupMenu();
  TWin32MenuItem& Add(const std::string& Caption);
  void AddSeparator();
  // Shows the menu at screen point X, Y; the chosen item runs its OnClick.
  void Popup(HWND Owner, int X, int Y);

private:
  HMENU FMenu;
  std::vector<std::unique_ptr<TWin32MenuItem>> FItems;
};

class TWin32MenuItem : public TMenuItem {
public:
  TWin32MenuItem(HMENU Menu, UINT Id, const std::string& Caption);
  void SetVisible(bool Visible) override { FVisible = Visible; }
  bool Visible() const override { return FVisible; }
  void SetEnabled(bool Enabled) override;
  bool Enabled() const override { return FEnabled; }
  void BringToFront() override {}
  void SetFocusable(bool) override {}
  void SetHint(const std::string& Hint) override { FHint = Hint; }
  std::string Hint() const override { return FHint; }
  void SetCaption(const std::string& Caption) override;
  std::string Caption() const override { return FCaption; }
  void SetCheckable(bool Checkable) override { FCheckable = Checkable; }
  bool Checkable() const { return FCheckable; }
  void SetChecked(bool Checked) override;
  bool Checked() const override { return FChecked; }
  UINT Id() const { return FId; }

private:
  HMENU FMenu;
  UINT FId;
  std::string FCaption;
  std::string FHint;
  bool FVisible = true;
  bool FEnabled = true;
  bool FCheckable = false;
  bool FChecked = false;
};

// A list in report mode with its columns; cells past the columns are kept
// with the row, unseen.
class TWin32ListView : public TWin32Control<TListView> {
public:
  TWin32ListView(HWND Parent, RECT Where, HFONT Font, const std::vector<std::pair<std::string, int>>& Columns);
  int RowCount() const override { return static_cast<int>(FRows.size()); }
  TRow Row(int Index) const override { return FRows.at(static_cast<size_t>(Index)); }
  void InsertRow(int Index, const TRow& Cells) override;
  void DeleteRow(int Index) override;
  void Clear() override;
  void SetSelected(int Index, bool Selected) override;
  bool Selected(int Index) const override;
  bool Notify(NMHDR* Header, LRESULT& Result) override;
  bool ContextMenu(int X, int Y) override;
  TWin32PopupMenu* PopupMenu = nullptr;

private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<TRow> FRows;
  size_t FColumns;
  bool FQuiet = false;   // the form changes the list: the platform's notes are not the user's
};

// A timer of the thread's message loop.
class TWin32Timer : public TTimer {
public:
  ~TWin32Timer() override;
  void SetInterval(int Milliseconds) override;
  int Interval() const override { return FInterval; }
  void SetEnabled(bool Enabled) override;
  bool Enabled() const override { return FEnabled; }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD);
  void Restart();
  int FInterval = 1000;
  bool FEnabled = false;
  UINT_PTR FId = 0;
};
