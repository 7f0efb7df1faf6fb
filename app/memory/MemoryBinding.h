// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/form/Binding.h"
#include "app/form/FormControls.h"

// A binding with no toolkit: every control is a plain object that keeps its
// state, and the "user" is whoever calls the User... functions, which act as
// a user's input would (nothing reaches a disabled control). The window's
// behaviour tests drive the forms through it, without a display.
class TMemoryBinding;

// Whether a control may take the keyboard focus, for any in-memory control.
class TMemoryFocus {
public:
  bool Focusable() const { return FFocusable; }

protected:
  bool FFocusable = true;
};

// What every in-memory control keeps.
template <typename TBase>
class TMemoryControl : public TBase, public TMemoryFocus {
public:
  void SetVisible(bool Visible) override { FVisible = Visible; }
  bool Visible() const override { return FVisible; }
  void SetEnabled(bool Enabled) override {
    FEnabled = Enabled;
    for (TControl* Child : Children) Child->SetEnabled(Enabled);
  }
  bool Enabled() const override { return FEnabled; }
  void BringToFront() override { ++Raised; }
  void SetFocusable(bool Focusable) override {
    FFocusable = Focusable;
    for (TControl* Child : Children) Child->SetFocusable(Focusable);
  }
  void SetHint(const std::string& Hint) override { FHint = Hint; }
  std::string Hint() const override { return FHint; }

  std::vector<TControl*> Children;   // for panels and group boxes
  int Raised = 0;                    // times brought to the front

private:
  bool FVisible = true;
  bool FEnabled = true;
  std::string FHint;
};

class TMemoryButton : public TMemoryControl<TButton> {
public:
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  std::string Caption() const override { return FCaption; }
  void SetDown(bool Down) override { FDown = Down; }
  bool Down() const override { return FDown; }

private:
  std::string FCaption;
  bool FDown = false;
};

class TMemoryLabel : public TMemoryControl<TLabel> {
public:
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  std::string Caption() const override { return FCaption; }
  void SetFontColour(TColour Colour) override { FColour = Colour; }
  TColour FontColour() const override { return FColour; }

private:
  std::string FCaption;
  TColour FColour;
};

class TMemoryImage : public TMemoryControl<TControl> {};

class TMemoryPanel : public TMemoryControl<TPanel> {
public:
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  std::string Caption() const override { return FCaption; }

private:
  std::string FCaption;
};

class TMemoryEdit : public TMemoryControl<TEdit> {
public:
  void SetText(const std::string& Text) override { FText = Text; }
  std::string Text() const override { return FText; }

private:
  std::string FText;
};

class TMemoryComboBox : public TMemoryControl<TComboBox> {
public:
  void SetItems(const std::vector<std::string>& Items) override {
    FItems = Items;
    FIndex = -1;
  }
  int ItemCount() const override { return static_cast<int>(FItems.size()); }
  void SetItemIndex(int Index) override { FIndex = Index >= 0 && Index < ItemCount() ? Index : -1; }
  int ItemIndex() const override { return FIndex; }
  std::string Text() const override { return FIndex >= 0 ? FItems[static_cast<size_t>(FIndex)] : std::string(); }

private:
  std::vector<std::string> FItems;
  int FIndex = -1;
};

class TMemoryCheckBox : public TMemoryControl<TCheckBox> {
public:
  void SetChecked(bool Checked) override { FChecked = Checked; }
  bool Checked() const override { return FChecked; }
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }

private:
  bool FChecked = false;
  std::string FCaption;
};

class TMemorySpinEdit : public TMemoryControl<TSpinEdit> {
public:
  void SetValue(int Value) override { FText = std::to_string(Value); }
  std::string Text() const override { return FText; }
  // What the user typed into it, number or not.
  void SetText(const std::string& Text) { FText = Text; }

private:
  std::string FText = "0";
};

class TMemoryProgressBar : public TMemoryControl<TProgressBar> {
public:
  void SetPosition(int Position) override { FPosition = Position < 0 ? 0 : Position > 100 ? 100 : Position; }
  int Position() const override { return FPosition; }
  int Max() const override { return 100; }

private:
  int FPosition = 0;
};

class TMemoryStatusBar : public TMemoryControl<TStatusBar> {
public:
  void SetPanelText(int Panel, const std::string& Text) override { FText[Panel == 0 ? 0 : 1] = Text; }
  std::string PanelText(int Panel) const override { return FText[Panel == 0 ? 0 : 1]; }

private:
  std::string FText[2];
};

class TMemoryListView : public TMemoryControl<TListView> {
public:
  int RowCount() const override { return static_cast<int>(FRows.size()); }
  TRow Row(int Index) const override { return FRows.at(static_cast<size_t>(Index)).Cells; }
  void InsertRow(int Index, const TRow& Cells) override;
  void DeleteRow(int Index) override;
  void Clear() override;
  void SetSelected(int Index, bool Selected) override;
  bool Selected(int Index) const override { return FRows.at(static_cast<size_t>(Index)).Selected; }
  // The shown cell of a row (the hidden ones too, past the columns).
  std::string Cell(int Index, int Column) const { return Row(Index).at(static_cast<size_t>(Column)); }

private:
  struct TItem {
    TRow Cells;
    bool Selected = false;
  };
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<TItem> FRows;
};

class TMemoryMenuItem : public TMemoryControl<TMenuItem> {
public:
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  std::string Caption() const override { return FCaption; }
  void SetCheckable(bool Checkable) override { FCheckable = Checkable; }
  bool Checkable() const { return FCheckable; }
  void SetChecked(bool Checked) override { FChecked = Checked; }
  bool Checked() const override { return FChecked; }

private:
  std::string FCaption;
  bool FCheckable = false;
  bool FChecked = false;
};

class TMemoryTimer : public TTimer {
public:
  explicit TMemoryTimer(TMemoryBinding& Binding);
  ~TMemoryTimer() override;
  void SetInterval(int Milliseconds) override { FInterval = Milliseconds; }
  int Interval() const override { return FInterval; }
  void SetEnabled(bool Enabled) override { FEnabled = Enabled; }
  bool Enabled() const override { return FEnabled; }
  // A tick, as the interval running out would give one while enabled.
  void Fire() {
    if (FEnabled && OnTimer) OnTimer();
  }

private:
  TMemoryBinding& FBinding;
  int FInterval = 1000;
  bool FEnabled = false;
};

class TMemoryWindow : public TWindow {
public:
  explicit TMemoryWindow(TMemoryBinding& Binding) : FBinding(Binding) {}
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  std::string Caption() const override { return FCaption; }
  void Show() override;
  void ShowModal() override;
  bool Close() override;
  bool Visible() const override { return FVisible; }
  bool Modal() const { return FModal; }

private:
  TMemoryBinding& FBinding;
  std::string FCaption;
  bool FVisible = false;
  bool FShown = false;
  bool FModal = false;
};

// One window with its controls, made from the form's control table.
class TMemoryFormWindow : public TFormWindow {
public:
  TMemoryFormWindow(TMemoryBinding& Binding, const std::string& FormName,
                    const std::vector<TControlInfo>& Controls);
  ~TMemoryFormWindow() override;
  TWindow& Window() override { return FWindow; }
  TMemoryWindow& MemoryWindow() { return FWindow; }
  TControl* Find(const std::string& Name) override;
  const std::string& FormName() const { return FFormName; }
  // The control's parent (panel or group box), or nullptr on the window.
  TControl* ParentOf(const TControl& Control) const;

private:
  TMemoryBinding& FBinding;
  std::string FFormName;
  TMemoryWindow FWindow;
  std::map<std::string, std::unique_ptr<TControl>> FControls;
  std::map<const TControl*, TControl*> FParents;
};

class TMemoryBinding : public TBinding {
public:
  std::unique_ptr<TFormWindow> CreateFormWindow(const std::string& FormName, TFormWindow* Owner) override;
  std::unique_ptr<TTimer> CreateTimer() override;
  // Runs what was posted before the pass began (later posts wait for the
  // next pass), then the idle work of shown windows.
  void ProcessMessages() override;
  bool ControlKeyHeld() const override { return CtrlHeld; }
  std::string ProgramFile() const override { return ProgramPath; }

  // Queued work, as an event for the window's loop would arrive.
  void Post(std::function<void()> Work) { FPosted.push_back(std::move(Work)); }
  // Runs passes until nothing is posted any more (at most Limit passes).
  void Settle(int Limit = 10);
  int Passes() const { return FPasses; }
  // Runs at the start of every pass, as a zero-interval timer of the
  // toolkit would; it may clear itself.
  std::function<void()> OnEachPass;

  // The user: clicks, double-clicks, choices and keys reach a control only
  // while it and every panel it lies on are enabled and shown.
  bool UserClick(TControl& Control);
  bool UserDblClick(TControl& Control);
  // A double-click on a list row: the row is selected (the others not),
  // then the list's double-click follows.
  bool UserDblClickRow(TListView& List, int Row);
  bool UserSelectRow(TListView& List, int Row);
  bool UserChoose(TComboBox& Box, int Index);
  bool UserToggle(TCheckBox& Box);
  // Keys typed into a window (a character each; 27 is Esc).
  void UserType(TWindow& Window, const std::string& Keys);
  void UserRightControl(TWindow& Window, bool Down);
  // Whether the user's input can reach the control now.
  bool Reachable(const TControl& Control) const;

  // While a modal window is open: what the "user" does in it. It runs once
  // the window is shown; the window closes after it unless it did.
  std::function<void(TMemoryFormWindow& Window)> OnModal;

  bool CtrlHeld = false;
  std::string ProgramPath = "/proc/self/exe";
  std::vector<TMemoryTimer*> Timers;                 // alive now
  std::vector<TMemoryFormWindow*> Windows;           // alive now

private:
  friend class TMemoryWindow;
  TMemoryFormWindow* WindowOf(const TControl& Control) const;
  std::deque<std::function<void()>> FPosted;
  std::vector<std::function<void()>> FIdle;   // first idle moments due
  int FPasses = 0;
};
