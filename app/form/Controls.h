// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The controls the window's behaviour talks to. A toolkit binding implements
// each kind over its own widgets; the form never sees a widget. Texts are
// UTF-8. Events come back to the form through the On... members: the form
// sets them once, the binding calls them when the user acts. A binding calls
// no event of a control that is disabled (or inside a disabled panel or
// box), and none of a control the form changed from code, except where a
// comment below says so.

// A colour as a value: red, green, blue.
struct TColour {
  uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TColour&, const TColour&) = default;
};

// What every control has.
class TControl {
public:
  virtual ~TControl() = default;
  virtual void SetVisible(bool Visible) = 0;
  virtual bool Visible() const = 0;   // its own state, not whether its parent shows
  // A panel or group box passes the state on to every control it holds, all
  // the way down, with the greyed look of its toolkit.
  virtual void SetEnabled(bool Enabled) = 0;
  virtual bool Enabled() const = 0;
  // In front of its siblings (a box shown over the panel it covers).
  virtual void BringToFront() = 0;
  // Whether the keyboard focus may come to it (Tab, arrows, clicks); a panel
  // or group box passes it on to what it holds.
  virtual void SetFocusable(bool Focusable) = 0;
  // The tool tip.
  virtual void SetHint(const std::string& Hint) = 0;
  virtual std::string Hint() const = 0;

  std::function<void()> OnClick;      // buttons, menu items, images, check boxes
  std::function<void()> OnDblClick;   // on the control itself (not on what it holds)

  // A click from code, as the user's would be: nothing while disabled.
  void Click() {
    if (Enabled() && OnClick) OnClick();
  }
};

// A push button or a flat speed button. A speed button may stay down.
class TButton : public TControl {
public:
  virtual void SetCaption(const std::string& Caption) = 0;   // "&" marks the access key
  virtual std::string Caption() const = 0;
  virtual void SetDown(bool Down) = 0;   // speed buttons: held down
  virtual bool Down() const = 0;
};

// A caption on the window.
class TLabel : public TControl {
public:
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetFontColour(TColour Colour) = 0;
  virtual TColour FontColour() const = 0;
};

// A panel or group box: holds controls; a panel may show a caption in its
// middle, a group box shows it in its frame.
class TPanel : public TControl {
public:
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual std::string Caption() const = 0;
};
using TGroupBox = TPanel;

// A one-line edit.
class TEdit : public TControl {
public:
  virtual void SetText(const std::string& Text) = 0;
  virtual std::string Text() const = 0;
};

// A drop-down list to choose from. OnChange: the user chose another item.
class TComboBox : public TControl {
public:
  virtual void SetItems(const std::vector<std::string>& Items) = 0;
  virtual int ItemCount() const = 0;
  virtual void SetItemIndex(int Index) = 0;   // -1: nothing chosen; calls no OnChange
  virtual int ItemIndex() const = 0;
  virtual std::string Text() const = 0;      // the chosen item's text
  std::function<void()> OnChange;
};

// A check box; OnClick when the user toggles it.
class TCheckBox : public TControl {
public:
  virtual void SetChecked(bool Checked) = 0;   // calls no OnClick
  virtual bool Checked() const = 0;
  virtual void SetCaption(const std::string& Caption) = 0;
};

// A number edit with up and down arrows. Text is what the edit holds without
// prefix or suffix, which need not be a number.
class TSpinEdit : public TControl {
public:
  virtual void SetValue(int Value) = 0;
  virtual std::string Text() const = 0;
};

// A progress bar from 0 to Max.
class TProgressBar : public TControl {
public:
  virtual void SetPosition(int Position) = 0;
  virtual int Position() const = 0;
  virtual int Max() const = 0;
};

// The status bar with its two panels: 0 the connection state, 1 the rest.
class TStatusBar : public TControl {
public:
  virtual void SetPanelText(int Panel, const std::string& Text) = 0;
  virtual std::string PanelText(int Panel) const = 0;
};

// A report-style list: rows of cells. The first cells of a row fill the
// shown columns; cells beyond them are the row's hidden sub-items, kept with
// it for the form (a card row's offset and size). Rows may be selected,
// several at once.
//
// OnChange is called after every change of the rows or of the selection,
// whether the user or the form made it (also for Clear on a list with rows,
// and once per row inserted or deleted). OnDblClick comes after the list's
// own handling of the double-click (which selects the row under it), only
// while the list is enabled. OnContextPopup: the user asked for the list's
// popup menu; the binding shows the menu the form names in PopupMenu.
class TListView : public TControl {
public:
  using TRow = std::vector<std::string>;
  virtual int RowCount() const = 0;
  virtual TRow Row(int Index) const = 0;
  virtual void InsertRow(int Index, const TRow& Cells) = 0;   // Index == RowCount() appends
  virtual void DeleteRow(int Index) = 0;
  virtual void Clear() = 0;
  virtual void SetSelected(int Index, bool Selected) = 0;
  virtual bool Selected(int Index) const = 0;
  std::vector<int> SelectedRows() const {
    std::vector<int> Rows;
    for (int Index = 0; Index < RowCount(); ++Index)
      if (Selected(Index)) Rows.push_back(Index);
    return Rows;
  }
  void AddRow(const TRow& Cells) { InsertRow(RowCount(), Cells); }
  std::function<void()> OnChange;
};

// An item of a popup menu: caption, state and OnClick (from TControl).
class TMenuItem : public TControl {
public:
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual std::string Caption() const = 0;
  // A checkable item shows a check mark; the user's pick flips the mark
  // first, then OnClick comes. SetChecked from code calls no event.
  virtual void SetCheckable(bool Checkable) = 0;
  virtual void SetChecked(bool Checked) = 0;
  virtual bool Checked() const = 0;
};

// A timer: OnTimer every Interval milliseconds while enabled. The interval
// counts from when it is enabled or the interval set.
class TTimer {
public:
  virtual ~TTimer() = default;
  virtual void SetInterval(int Milliseconds) = 0;
  virtual int Interval() const = 0;
  virtual void SetEnabled(bool Enabled) = 0;
  virtual bool Enabled() const = 0;
  std::function<void()> OnTimer;
};
