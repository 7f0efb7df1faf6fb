// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "app/form/Dialogs.h"

// The platform's modal boxes (MessageBoxA) and its file and folder choosers,
// owned by the program's active window.
class TWin32Dialogs : public TDialogs {
public:
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  bool ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                       std::vector<std::string>& Files) override;
  bool ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) override;
  bool BrowseForFolder(const std::string& Title, std::string& Folder) override;
};

// A "Text|*.a;*.b|Text|*.*" filter as the file choosers take it: the same
// pairs, each part ended by a zero, the whole by a second zero.
std::string ChooserFilter(const std::string& Filter);
// The names a multiple-choice open chooser returns in its buffer: one whole
// name, or the folder followed by the names in it, each ended by a zero.
std::vector<std::string> ChosenFiles(const char* Buffer);
