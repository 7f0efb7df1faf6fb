// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include "app/form/Dialogs.h"

// The real dialogs: the platform's message box and file dialogs, modal to
// the whole program.
class TQtDialogs : public TDialogs {
public:
  int ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  bool ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                       std::vector<std::string>& Files) override;
  bool ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) override;
  bool BrowseForFolder(const std::string& Title, std::string& Folder) override;
};

// "Game Boy ROM|*.gb;*.gbc|All files|*.*" as the file dialogs want it:
// "Game Boy ROM (*.gb *.gbc);;All files (*)": "*.*" becomes "*", so every
// file shows, also those without a dot in their names.
QString FileDialogFilter(const std::string& Filter);

// The suffix a save dialog adds to a name typed without one, from the chosen
// name filter: "Game Boy Save File (*.sav) (*.sav)" gives "sav"; a filter of
// every file ("(*)") gives none.
QString DefaultSuffixOf(const QString& NameFilter);
