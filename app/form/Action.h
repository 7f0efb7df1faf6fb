// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/form/Controls.h"

// A command with its caption and state, which buttons and menu items follow:
// each follower shows the action's caption and state, and clicking it runs
// the action.
class TAction {
public:
  TAction(std::string Caption) : FCaption(std::move(Caption)) {}
  template <typename T>   // TButton or TMenuItem
  void AddFollower(T& Control) {
    Control.SetCaption(FCaption);
    Control.SetEnabled(FEnabled);
    Control.OnClick = [this] { Execute(); };
    FFollowers.push_back(&Control);
  }
  const std::string& Caption() const { return FCaption; }
  void SetEnabled(bool Enabled) {
    FEnabled = Enabled;
    for (TControl* Follower : FFollowers) Follower->SetEnabled(Enabled);
  }
  bool Enabled() const { return FEnabled; }
  // Runs the action, as a click on an enabled follower does.
  void Execute() {
    if (FEnabled && OnExecute) OnExecute();
  }
  std::function<void()> OnExecute;

private:
  std::string FCaption;
  bool FEnabled = true;
  std::vector<TControl*> FFollowers;
};
