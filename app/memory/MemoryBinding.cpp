// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/memory/MemoryBinding.h"

#include <algorithm>

void TMemoryListView::InsertRow(int Index, const TRow& Cells) {
  Index = std::clamp(Index, 0, RowCount());
  FRows.insert(FRows.begin() + Index, TItem{Cells, false});
  Changed();
}

void TMemoryListView::DeleteRow(int Index) {
  FRows.erase(FRows.begin() + Index);
  Changed();
}

void TMemoryListView::Clear() {
  // As a list control's reset: a change also when it held nothing.
  FRows.clear();
  Changed();
}

void TMemoryListView::SetSelected(int Index, bool Selected) {
  TItem& Item = FRows.at(static_cast<size_t>(Index));
  if (Item.Selected == Selected) return;
  Item.Selected = Selected;
  Changed();
}

TMemoryTimer::TMemoryTimer(TMemoryBinding& Binding) : FBinding(Binding) { FBinding.Timers.push_back(this); }

TMemoryTimer::~TMemoryTimer() {
  auto& Timers = FBinding.Timers;
  Timers.erase(std::remove(Timers.begin(), Timers.end(), this), Timers.end());
}

void TMemoryWindow::Show() {
  FVisible = true;
  if (FShown) return;
  FShown = true;
  if (OnShow) OnShow();
  FBinding.FIdle.push_back([this] {
    if (OnFirstIdle) OnFirstIdle();
  });
}

void TMemoryWindow::ShowModal() {
  FModal = true;
  Show();
  if (FBinding.OnModal) {
    for (TMemoryFormWindow* Each : FBinding.Windows)
      if (&Each->Window() == this) FBinding.OnModal(*Each);
  }
  if (FVisible) Close();
  FVisible = false;
  FModal = false;
}

bool TMemoryWindow::Close() {
  if (OnCloseQuery && !OnCloseQuery()) return false;
  FVisible = false;
  return true;
}

namespace {

template <typename T>
std::unique_ptr<TControl> Make() {
  return std::make_unique<T>();
}

std::unique_ptr<TControl> MakeControl(TControlKind Kind) {
  switch (Kind) {
    case TControlKind::Button: return Make<TMemoryButton>();
    case TControlKind::Label: return Make<TMemoryLabel>();
    case TControlKind::Image: return Make<TMemoryImage>();
    case TControlKind::Panel:
    case TControlKind::GroupBox: return Make<TMemoryPanel>();
    case TControlKind::Edit: return Make<TMemoryEdit>();
    case TControlKind::ComboBox: return Make<TMemoryComboBox>();
    case TControlKind::CheckBox: return Make<TMemoryCheckBox>();
    case TControlKind::SpinEdit: return Make<TMemorySpinEdit>();
    case TControlKind::ProgressBar: return Make<TMemoryProgressBar>();
    case TControlKind::StatusBar: return Make<TMemoryStatusBar>();
    case TControlKind::ListView: return Make<TMemoryListView>();
    case TControlKind::MenuItem: return Make<TMemoryMenuItem>();
  }
  return nullptr;
}

}  // namespace

TMemoryFormWindow::TMemoryFormWindow(TMemoryBinding& Binding, const std::string& FormName,
                                     const std::vector<TControlInfo>& Controls)
    : FBinding(Binding), FFormName(FormName), FWindow(Binding) {
  for (const TControlInfo& Info : Controls) {
    std::unique_ptr<TControl> Control = MakeControl(Info.Kind);
    const auto Parent = FControls.find(Info.Parent);
    if (Parent != FControls.end()) {
      FParents[Control.get()] = Parent->second.get();
      if (auto* Holder = dynamic_cast<TMemoryPanel*>(Parent->second.get())) Holder->Children.push_back(Control.get());
    }
    FControls[Info.Name] = std::move(Control);
  }
  FBinding.Windows.push_back(this);
}

TMemoryFormWindow::~TMemoryFormWindow() {
  auto& Windows = FBinding.Windows;
  Windows.erase(std::remove(Windows.begin(), Windows.end(), this), Windows.end());
}

TControl* TMemoryFormWindow::Find(const std::string& Name) {
  const auto Found = FControls.find(Name);
  return Found == FControls.end() ? nullptr : Found->second.get();
}

TControl* TMemoryFormWindow::ParentOf(const TControl& Control) const {
  const auto Found = FParents.find(&Control);
  return Found == FParents.end() ? nullptr : Found->second;
}

std::unique_ptr<TFormWindow> TMemoryBinding::CreateFormWindow(const std::string& FormName, TFormWindow*) {
  if (FormName == "MainForm") return std::make_unique<TMemoryFormWindow>(*this, FormName, MainFormControls());
  if (FormName == "IOTestForm") return std::make_unique<TMemoryFormWindow>(*this, FormName, IOTestFormControls());
  return nullptr;
}

std::unique_ptr<TTimer> TMemoryBinding::CreateTimer() { return std::make_unique<TMemoryTimer>(*this); }

void TMemoryBinding::ProcessMessages() {
  ++FPasses;
  if (OnEachPass) {
    const std::function<void()> Each = OnEachPass;   // it may clear itself
    Each();
  }
  std::deque<std::function<void()>> Due;
  Due.swap(FPosted);
  for (auto& Work : Due) Work();
  std::vector<std::function<void()>> Idle;
  Idle.swap(FIdle);
  for (auto& Work : Idle) Work();
}

void TMemoryBinding::Settle(int Limit) {
  for (int Pass = 0; Pass < Limit && (!FPosted.empty() || !FIdle.empty()); ++Pass) ProcessMessages();
}

TMemoryFormWindow* TMemoryBinding::WindowOf(const TControl& Control) const {
  for (TMemoryFormWindow* Window : Windows)
    for (const TControlInfo& Info : Window->FormName() == "MainForm" ? MainFormControls() : IOTestFormControls())
      if (Window->Find(Info.Name) == &Control) return Window;
  return nullptr;
}

bool TMemoryBinding::Reachable(const TControl& Control) const {
  const TMemoryFormWindow* Window = WindowOf(Control);
  for (const TControl* Each = &Control; Each; Each = Window ? Window->ParentOf(*Each) : nullptr)
    if (!Each->Enabled() || !Each->Visible()) return false;
  return true;
}

bool TMemoryBinding::UserClick(TControl& Control) {
  if (!Reachable(Control)) return false;
  // A checkable menu item flips its mark before the event, as a toolkit's does.
  if (auto* Item = dynamic_cast<TMemoryMenuItem*>(&Control); Item && Item->Checkable())
    Item->SetChecked(!Item->Checked());
  if (Control.OnClick) Control.OnClick();
  return true;
}

bool TMemoryBinding::UserDblClick(TControl& Control) {
  if (!Reachable(Control)) return false;
  if (Control.OnDblClick) Control.OnDblClick();
  return true;
}

bool TMemoryBinding::UserSelectRow(TListView& List, int Row) {
  if (!Reachable(List)) return false;
  for (int Index = 0; Index < List.RowCount(); ++Index)
    if (Index != Row) List.SetSelected(Index, false);
  if (Row >= 0 && Row < List.RowCount()) List.SetSelected(Row, true);
  return true;
}

bool TMemoryBinding::UserDblClickRow(TListView& List, int Row) {
  if (!UserSelectRow(List, Row)) return false;
  return UserDblClick(List);
}

bool TMemoryBinding::UserChoose(TComboBox& Box, int Index) {
  if (!Reachable(Box) || Index == Box.ItemIndex()) return false;
  Box.SetItemIndex(Index);
  if (Box.OnChange) Box.OnChange();
  return true;
}

bool TMemoryBinding::UserToggle(TCheckBox& Box) {
  if (!Reachable(Box)) return false;
  Box.SetChecked(!Box.Checked());
  if (Box.OnClick) Box.OnClick();
  return true;
}

void TMemoryBinding::UserType(TWindow& Window, const std::string& Keys) {
  for (char Key : Keys)
    if (Window.Visible() && Window.OnKeyPress) Window.OnKeyPress(Key);
}

void TMemoryBinding::UserRightControl(TWindow& Window, bool Down) {
  if (Window.OnRightControl) Window.OnRightControl(Down);
}
