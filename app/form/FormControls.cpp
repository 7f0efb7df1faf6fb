// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form/FormControls.h"

#include <stdexcept>

#include "app/form/Binding.h"
#include "app/form/PortPins.h"

void TFormWindow::MissingControl(const std::string& Name) {
  throw std::logic_error("the window has no control " + Name + " of the kind asked for");
}

const std::vector<TControlInfo>& MainFormControls() {
  using K = TControlKind;
  static const std::vector<TControlInfo> Controls = {
      {"AALabel1", K::Label, ""},
      {"imgConnect", K::Image, ""},
      {"pMain", K::Panel, ""},
      {"gbWrite", K::GroupBox, "pMain"},
      {"Label2", K::Label, "gbWrite"},
      {"cbPart", K::ComboBox, "gbWrite"},
      {"lvROMs", K::ListView, "gbWrite"},
      {"btnAdd", K::Button, "gbWrite"},
      {"BitBtn3", K::Button, "gbWrite"},
      {"BitBtn4", K::Button, "gbWrite"},
      {"ProgressBar", K::ProgressBar, "pMain"},
      {"gbCardInfo", K::GroupBox, "pMain"},
      {"lvCardRom", K::ListView, "gbCardInfo"},
      {"pFindGame", K::Panel, "gbCardInfo"},
      {"btnRefresh", K::Button, ""},
      {"btnWrite", K::Button, ""},
      {"btnWriteSRAM", K::Button, ""},
      {"btnRead", K::Button, ""},
      {"btnReadSRAM", K::Button, ""},
      {"btnEraseChip", K::Button, ""},
      {"gbAdvance", K::GroupBox, ""},
      {"Label3", K::Label, "gbAdvance"},
      {"cbSize", K::ComboBox, "gbAdvance"},
      {"Label1", K::Label, "gbAdvance"},
      {"Edit1", K::Edit, "gbAdvance"},
      {"btnReadB", K::Button, "gbAdvance"},
      {"Label4", K::Label, "gbAdvance"},
      {"edWriteAll", K::Edit, "gbAdvance"},
      {"btnWriteAllB", K::Button, "gbAdvance"},
      {"btnReadAll", K::Button, ""},
      {"btnWriteAll", K::Button, ""},
      {"gbTest", K::GroupBox, ""},
      {"labCheckSRAM", K::Label, "gbTest"},
      {"Label5", K::Label, "gbTest"},
      {"edTestSRAM", K::Edit, "gbTest"},
      {"BitBtn1", K::Button, "gbTest"},
      {"btnTestWrite", K::Button, "gbTest"},
      {"btnTestFormat", K::Button, "gbTest"},
      {"btnTestSRAM", K::Button, ""},
      {"StatusBar", K::StatusBar, ""},
      {"Add1", K::MenuItem, "PopupMenu1"},
      {"Remove1", K::MenuItem, "PopupMenu1"},
      {"RemoveAll1", K::MenuItem, "PopupMenu1"},
      {"Verify1", K::MenuItem, "PopupMenu1"},
      {"Details1", K::MenuItem, "PopupMenu1"},
      {"CardDetails1", K::MenuItem, "PopupMenu2"},
      {"CardCheck1", K::MenuItem, "PopupMenu2"},
      {"DatFile1", K::MenuItem, "PopupMenu2"},
      {"Backups1", K::MenuItem, "PopupMenu2"},
      {"Restore1", K::MenuItem, "PopupMenu2"},
  };
  return Controls;
}

const std::vector<TControlInfo>& IOTestFormControls() {
  using K = TControlKind;
  static const std::vector<TControlInfo> Controls = [] {
    std::vector<TControlInfo> List;
    for (int Port = 0; Port < PortCount; ++Port) List.push_back({DirectionEditName(Port), K::Edit, ""});
    for (int Port = 0; Port < PortCount; ++Port) List.push_back({ValueEditName(Port), K::Edit, ""});
    List.push_back({"btnWrite", K::Button, ""});
    List.push_back({"btnRead", K::Button, ""});
    List.push_back({"cbAuto", K::CheckBox, ""});
    List.push_back({"seAuto", K::SpinEdit, ""});
    List.push_back({"Panel1", K::Panel, ""});
    for (int Port = 0; Port < PortCount; ++Port) {
      for (int Row = 0; Row < PinCount[Port]; ++Row) {
        List.push_back({ValueButtonName(Port, Row), K::Button, "Panel1"});
        List.push_back({DirectionButtonName(Port, Row), K::Button, ""});
      }
      List.push_back({GroupButtonName(Port), K::Button, ""});
    }
    return List;
  }();
  return Controls;
}
