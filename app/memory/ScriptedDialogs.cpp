// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/memory/ScriptedDialogs.h"

#include <filesystem>

int TScriptedDialogs::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  Messages.push_back({Text, Caption, Flags});
  if (!MessageAnswers.empty()) {
    const int Answer = MessageAnswers.front();
    MessageAnswers.pop_front();
    return Answer;
  }
  return (Flags & 0x0F) == 4 ? MB_RESULT_NO : MB_RESULT_OK;
}

bool TScriptedDialogs::ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                                       std::vector<std::string>& Files) {
  Filters.push_back(Filter);
  InitialPaths.push_back(InitialPath);
  if (OpenAnswers.empty()) return false;
  std::vector<std::string> Answer = std::move(OpenAnswers.front());
  OpenAnswers.pop_front();
  if (Answer.empty()) return false;
  if (!Multiple) Answer.resize(1);
  Files = std::move(Answer);
  return true;
}

bool TScriptedDialogs::ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) {
  Filters.push_back(Filter);
  InitialPaths.push_back(InitialPath);
  if (SaveAnswers.empty()) return false;
  std::string Answer = std::move(SaveAnswers.front());
  SaveAnswers.pop_front();
  if (Answer.empty()) return false;
  File = std::move(Answer);
  return true;
}

bool TScriptedDialogs::BrowseForFolder(const std::string& Title, std::string& Folder) {
  FolderTitles.push_back(Title);
  std::error_code Ignored;
  if (!std::filesystem::is_directory(std::filesystem::u8path(Folder), Ignored)) Folder.clear();
  if (FolderAnswers.empty()) return false;
  std::string Answer = std::move(FolderAnswers.front());
  FolderAnswers.pop_front();
  if (Answer.empty()) return false;
  Folder = std::move(Answer);
  return true;
}
