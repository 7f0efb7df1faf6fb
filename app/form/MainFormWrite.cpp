// SPDX-License-Identifier: GPL-3.0-or-later
// Writing to the card: the queue (one game or a pack), a raw image from the
// advanced panel, the save RAM, and formatting the selected page.
#include <filesystem>
#include <system_error>

#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/HeaderMend.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/SaveBackup.h"
#include "core/transfer/WriteEngine.h"

namespace {

constexpr const char* GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";
constexpr const char* SaveFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";

bool FileExists(const std::string& Name) {
  std::error_code Ignored;
  return !Name.empty() && std::filesystem::is_regular_file(std::filesystem::path(Name), Ignored);
}

}  // namespace

void TMainForm::WriteCard(TCardWriteKind Kind, const std::string& FileName, const std::string& Before) {
  const int Boxes = FFrontEnd.MessageBoxesShown();
  TCardWriteRequest Request;
  Request.Kind = Kind;
  Request.FileName = FileName;
  Request.Queue = &FQueue;
  // Games the user asked to have mended go out from mended copies.
  TGameQueue Mended = FQueue;
  TMendedCopies Copies;
  if (Kind == TCardWriteKind::Queue && !FMendFiles.empty()) {
    for (size_t I = 0; I < Mended.Count(); ++I) {
      if (!FMendFiles.count(Mended.Rows()[I].FileName)) continue;
      bool Changed = false;
      std::string Error;
      if (!Copies.Mend(Mended, I, Changed, Error)) {
        FKeptOutcome = Error;
        FFrontEnd.ShowMessageBox(Error + "\r\nNothing was written.", "Error", MB_FLAGS_ERROR);
        return;
      }
    }
    Request.Queue = &Mended;
  }
  Request.Verify = FVerifyWrites;
  // Every write keeps the save RAM in the vault first, named after the
  // games the card list shows.
  Request.BackupSave = true;
  Request.BackupBefore = Before;
  Request.Titles = CardTitles();
  Request.GoOnWithoutBackup = [this](const TSaveBackupResult& Backup) { return GoOnWithoutBackup(Backup); };
  // An unstable contact asks before anything is written; a page that holds
  // the start of the same image already asks whether to write only what
  // differs (No: format and write everything, as always).
  Request.Contact = TContactMode::Ask;
  if (Kind != TCardWriteKind::SaveRam) Request.Repair = TRepairMode::Ask;
  const TCardWriteResult Result = WriteToCard(Request, FLink);
  FKeptOutcome = Result.Outcome;
  if (Result.Succeeded) {
    if (!Result.BackupFile.empty()) FKeptOutcome += "  Save backup: " + Result.BackupFile;
    return;
  }
  // A stop during the backup: the user's own stop, nothing to tell.
  if (!Result.Backup.Made && Result.Backup.Read.End == TTransferEnd::Stopped) return;
  // Told of an unstable contact, the user chose not to write: panel 1 says
  // why, and no box follows the question.
  if (Result.ContactChecked && Result.Contact.End == TTransferEnd::Done && !Result.Contact.Stable &&
      Result.Write.Total == 0 && !Result.Write.CardTouched)
    return;
  // A refusal the engine already showed in a box, with the card untouched,
  // needs no second box; everything else says what it left.
  if (FFrontEnd.MessageBoxesShown() != Boxes && Result.Report.empty()) return;
  FFrontEnd.ShowMessageBox(CardWriteMessage(Result), "Error", MB_FLAGS_ERROR);
}

void TMainForm::btnWriteClick() {
  TOperation Write;
  Write.RestoredCaption = "&Write";
  Write.Prepare = [this] {
    if (FQueue.Empty()) btnAdd->Click();
    if (FQueue.Empty()) return false;
    if (lvCardRom->RowCount() == 0) return true;
    const std::string Question = "Are you sure to overwrite old games in \"" + cbPart->Text() + "\"?";
    return FFrontEnd.ShowMessageBox(Question, "Write", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  Write.Work = [this] { WriteCard(TCardWriteKind::Queue, std::string()); };
  // The page is listed again, so the card list shows what was written, and
  // the card is left showing the selected page to the console.
  Write.BeforeIdentify = [this] { cbPartChange(); };
  Write.AfterIdentify = [this] { FLink.SelectPage(FState.PageBase); };
  RunOperation(btnWrite, Write);
}

void TMainForm::btnWriteAllClick() {
  TOperation WriteAll;
  WriteAll.RestoredCaption = "&Write";
  WriteAll.Prepare = [this] {
    if (!FileExists(edWriteAll->Text())) btnWriteAllB->Click();
    return FileExists(edWriteAll->Text());
  };
  // From card address 0; the engine clears the pages the image covers.
  WriteAll.Work = [this] { WriteCard(TCardWriteKind::RawImage, edWriteAll->Text()); };
  RunOperation(btnWriteAll, WriteAll);
}

void TMainForm::Verify1Click() { FVerifyWrites = Verify1->Checked(); }

void TMainForm::btnWriteAllBClick() {
  std::vector<std::string> Files;
  if (FDialogs.ChooseOpenFiles(GameFilter, edWriteAll->Text(), false, Files) && !Files.empty())
    edWriteAll->SetText(Files.front());
}

void TMainForm::btnWriteSRAMClick() {
  std::string File;
  TOperation WriteSram;
  WriteSram.RestoredCaption = "&Write SRAM";
  WriteSram.Prepare = [&] {
    std::vector<std::string> Files;
    if (!FDialogs.ChooseOpenFiles(SaveFilter, std::string(), false, Files) || Files.empty()) return false;
    File = Files.front();
    // The card's save RAM may hold the only copy of a save: asked first.
    const std::string Question = "Are you sure to overwrite the save RAM with \"" + File +
                                 "\"?\r\nThe save RAM as it is now is backed up first.";
    return FFrontEnd.ShowMessageBox(Question, "Write SRAM", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  // The save RAM is backed up, then written from bare address 0 (a file
  // larger than the save RAM is refused before anything is sent).
  WriteSram.Work = [&] { WriteCard(TCardWriteKind::SaveRam, File); };
  RunOperation(btnWriteSRAM, WriteSram);
}

void TMainForm::btnEraseChipClick() {
  // The format neither sets Operating nor pumps, so it cannot be stopped:
  // its button keeps its caption and stays disabled while it runs.
  TOperation Format;
  Format.RestoredCaption = "&Format";
  Format.KeepCaption = true;
  Format.Prepare = [this] {
    const std::string Question = "Are you sure to format \"" + cbPart->Text() + "\"";
    return FFrontEnd.ShowMessageBox(Question, "Fromat", MB_FLAGS_QUESTION) == MB_RESULT_YES;
  };
  Format.Work = [this] {
    // The page's games go, and with them what the save RAM belongs to.
    TSaveBackupRequest Request;
    Request.Before = "format";
    Request.Titles = CardTitles();
    TSaveBackupResult Backup;
    FFormatting = true;
    const bool Kept = BackupSaveRam(FLink, Request, Backup);
    FState.Operating = false;
    if (!Kept && !GoOnWithoutBackup(Backup)) {
      FFormatting = false;
      FKeptOutcome = SaveBackupFailureText(Backup);
      return;
    }
    const uint32_t Cleared = FormatCard(false, FLink);
    FFormatting = false;
    if (Cleared >= FormatBlocksPerPage) {
      if (Kept) FKeptOutcome = "Format complete.  Save backup: " + Backup.File;
      return;
    }
    // Stopped by a refused packet: the page is partly cleared.
    FLink.ReportLinkError();
    TPartialWrite Partial;
    Partial.Kind = TCardWriteKind::Format;
    Partial.PageBase = FState.PageBase;
    Partial.Total = FormatBlocksPerPage;
    Partial.Reached = Cleared;
    Partial.CardTouched = Cleared > 0;
    std::string Text = FFrontEnd.StatusText(1);
    for (const std::string& Line : PartialWriteReport(Partial)) Text += "\r\n" + Line;
    FKeptOutcome = FFrontEnd.StatusText(1);
    FFrontEnd.ShowMessageBox(Text, "Error", MB_FLAGS_ERROR);
  };
  Format.BeforeIdentify = [this] { btnRefresh->Click(); };
  RunOperation(btnEraseChip, Format);
}
