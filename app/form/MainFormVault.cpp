// SPDX-License-Identifier: GPL-3.0-or-later
// The save vault in the window: the list of the save RAM backups and the
// restore of one, from the card list's popup menu (so the window keeps its
// layout), and the question when a backup cannot be made before a write.
#include <algorithm>

#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"
#include "app/form/TextCodes.h"
#include "core/support/Paths.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/SaveBackup.h"
#include "core/vault/SaveVault.h"
#include "core/vault/VaultName.h"

namespace {

constexpr const char* BackupFilter = "Save backups (sram-*.sav)|sram-*.sav|All Files (*.*)|*.*";

std::string TitlesText(const TVaultEntry& Entry) {
  if (!Entry.TitlesKnown) return "(titles not recorded)";
  if (Entry.Titles.empty()) return "(no games)";
  std::string Text;
  for (const std::string& Title : Entry.Titles)
    Text += (Text.empty() ? "" : ", ") + (Title.empty() ? std::string("(untitled)") : BytesAsText(Title));
  return Text;
}

}  // namespace

void TMainForm::BindVaultControls() {
  TFormWindow& W = FormWindow();
  Backups1 = &W.Get<TMenuItem>("Backups1");
  Restore1 = &W.Get<TMenuItem>("Restore1");
  Backups1->SetCaption(BackupsCaption);
  Restore1->SetCaption(RestoreCaption);
  Backups1->OnClick = [this] { Backups1Click(); };
  Restore1->OnClick = [this] { Restore1Click(); };
}

std::vector<std::string> TMainForm::CardTitles() const {
  std::vector<std::string> Titles;
  for (int Row = 0; Row < lvCardRom->RowCount(); ++Row) Titles.push_back(CardRowOf(lvCardRom->Row(Row)).Title);
  return Titles;
}

bool TMainForm::GoOnWithoutBackup(const TSaveBackupResult& Backup) {
  const std::string Question = "The save RAM could not be backed up (" + Backup.Error +
                               ").\r\nIts save is lost if the card is written now. Go on without a backup?";
  return FFrontEnd.ShowMessageBox(Question, "Save backup", MB_FLAGS_QUESTION) == MB_RESULT_YES;
}

void TMainForm::Backups1Click() {
  const TSaveVault Vault;
  std::vector<TVaultEntry> Entries = Vault.Entries();
  std::reverse(Entries.begin(), Entries.end());
  std::string Text;
  for (size_t I = 0; I < Entries.size(); ++I) {
    const TVaultEntry& E = Entries[I];
    Text += std::to_string(I + 1) + ".  " + VaultTimeText(E.Time) + "  " + std::to_string(E.Size) + " bytes  " +
            TitlesText(E) + "\r\n      " + E.File + "  SHA-1 " + E.Sha1 + "\r\n";
  }
  Text += std::to_string(Entries.size()) + " backup(s) in " + Vault.Folder() + "; the oldest are dropped beyond " +
          std::to_string(Vault.Limit()) + ".";
  if (!Entries.empty()) Text += "\r\n\"" + std::string(RestoreCaption) + "\" writes one back.";
  FFrontEnd.ShowMessageBox(Text, "Save backups", MB_FLAGS_INFO);
}

void TMainForm::Restore1Click() {
  if (FState.Operating) return;
  const TSaveVault Vault;
  std::string File;
  std::optional<TVaultEntry> Entry;
  TOperation Restore;
  Restore.RestoredCaption = "&Write SRAM";
  Restore.Prepare = [&] {
    std::vector<std::string> Files;
    if (!FDialogs.ChooseOpenFiles(BackupFilter, AddBackslash(Vault.Folder()), false, Files) || Files.empty())
      return false;
    std::string Error;
    Entry = Vault.Find(Files.front(), Error);
    // Only a backup the vault knows, and still whole: a damaged one would
    // put a damaged save on the card.
    if (!Entry || !Vault.Intact(*Entry, Error)) {
      FFrontEnd.ShowMessageBox(Error + "\r\nNothing was written; \"Write SRAM\" writes any save file.", "Restore",
                               MB_FLAGS_ERROR);
      return false;
    }
    File = Vault.PathOf(*Entry);
    const std::string Question = "Are you sure to overwrite the save RAM with the backup of " +
                                 VaultTimeText(Entry->Time) + " (" + TitlesText(*Entry) +
                                 ")?\r\nThe save RAM as it is now is backed up first.";
    return FFrontEnd.ShowMessageBox(Question, "Restore", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  Restore.Work = [&] { WriteCard(TCardWriteKind::SaveRam, File, "restore"); };
  RunOperation(btnWriteSRAM, Restore);
}
