// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "core/FrontEnd.h"   // the message-box flags and results

// The modal half of the window's front end: message boxes and the file and
// folder choosers. The window gets one of these from whoever creates it, so
// the tests hand in scripted answers instead of real dialogs.
class TDialogs {
public:
  virtual ~TDialogs() = default;
  // Flags and results as the platform's message box: 16 error/OK,
  // 36 question/Yes+No, 64 information/OK; 1 OK, 6 Yes, 7 No.
  virtual int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) = 0;
  // Filters in the "Text|*.a;*.b|Text|*.*" form; false when cancelled.
  virtual bool ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                               std::vector<std::string>& Files) = 0;
  virtual bool ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) = 0;
  // Title is the instruction text. A Folder that names no existing folder is
  // cleared first; on cancel it keeps that value and the result is false.
  virtual bool BrowseForFolder(const std::string& Title, std::string& Folder) = 0;
};
