// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

// The controls of each form, by name: what kind each is and which panel or
// group box holds it ("" for the window itself). A binding creates each of
// them under that name; the forms find them by it.
enum class TControlKind {
  Button,       // TButton
  Label,        // TLabel
  Image,        // TControl: a picture that reports clicks
  Panel,        // TPanel
  GroupBox,     // TGroupBox
  Edit,         // TEdit
  ComboBox,     // TComboBox
  CheckBox,     // TCheckBox
  SpinEdit,     // TSpinEdit
  ProgressBar,  // TProgressBar
  StatusBar,    // TStatusBar
  ListView,     // TListView
  MenuItem,     // TMenuItem, Parent names its popup menu
};

struct TControlInfo {
  std::string Name;
  TControlKind Kind;
  std::string Parent;
};

// TMainForm's controls, in creation order (later ones lie over earlier ones).
const std::vector<TControlInfo>& MainFormControls();
// TIOTestForm's controls the form uses (its labels and lines are looks only).
const std::vector<TControlInfo>& IOTestFormControls();
