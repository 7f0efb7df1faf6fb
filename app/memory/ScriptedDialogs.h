// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "app/form/Dialogs.h"

// Dialogs that answer from a script instead of asking anyone: each kind of
// dialog takes the next queued answer, and every question is recorded. An
// unscripted message box answers its last choice (No for a question, OK
// otherwise) and an unscripted chooser is cancelled, so a test that forgets
// an answer cannot hang on an invisible dialog.
class TScriptedDialogs : public TDialogs {
public:
  struct TMessage {
    std::string Text, Caption;
    int Flags = 0;
  };
  std::deque<int> MessageAnswers;
  std::deque<std::vector<std::string>> OpenAnswers;   // an empty entry: cancelled
  std::deque<std::string> SaveAnswers;                // an empty entry: cancelled
  std::deque<std::string> FolderAnswers;              // an empty entry: cancelled
  std::vector<TMessage> Messages;
  std::vector<std::string> Filters;                   // of every file chooser, in order
  std::vector<std::string> InitialPaths;              // of every file chooser, in order
  std::vector<std::string> FolderTitles;

  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  bool ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                       std::vector<std::string>& Files) override;
  bool ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) override;
  bool BrowseForFolder(const std::string& Title, std::string& Folder) override;
};
