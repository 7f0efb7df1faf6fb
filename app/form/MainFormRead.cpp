// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the card into files: the selected games, the save RAM, and the
// raw range of the advanced panel.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"
#include "core/link/LinkProtocol.h"
#include "core/naming/GameFileName.h"
#include "core/support/Paths.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/WriteEngine.h"

namespace {

constexpr const char* GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";
constexpr const char* SaveFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";
constexpr uint32_t SmallestReadAll = 32768;   // item i of cbSize reads 32768 x 2^i bytes

// The failures that only panel 1 reports: a file of the user's that could
// not be made, read or written, or an image that could not be put together.
constexpr std::string_view PanelOnlyFailures[] = {ReadFileCreateError,  ReadFileWriteError,   WriteOpenGameError,
                                                  WriteCreatePackError, WriteOpenSourceError, WriteReadSourceError};
constexpr std::string_view LinkErrorPrefix = "Error Code: ";

}  // namespace

void TMainForm::ShowFailureBox(int BoxesBefore, const std::string& Detail) {
  if (FFrontEnd.MessageBoxesShown() != BoxesBefore) return;
  const std::string Text = FFrontEnd.StatusText(1);
  // A failed exchange with the cable ("Error Code: N") is as much a failure.
  if (std::find(std::begin(PanelOnlyFailures), std::end(PanelOnlyFailures), Text) != std::end(PanelOnlyFailures) ||
      Text.rfind(LinkErrorPrefix, 0) == 0)
    FFrontEnd.ShowMessageBox(Detail.empty() ? Text : Text + "\r\n" + Detail, "Error", MB_FLAGS_ERROR);
}

void TMainForm::btnReadClick() {
  // Nothing to read without a selected card row; a stop click always works.
  if (!FState.Operating && lvCardRom->SelectedRows().empty()) return;
  std::vector<TCardRow> Games;
  std::string Target;   // the one game's file, or the folder of several
  TOperation Read;
  Read.RestoredCaption = "&Read";
  Read.Prepare = [&] {
    for (int Index : lvCardRom->SelectedRows()) Games.push_back(CardRowOf(lvCardRom->Row(Index)));
    if (Games.size() == 1) {
      Target = GameFileName(Games.front().Title, ".gb");
      return FDialogs.ChooseSaveFile(GameFilter, Target, Target);
    }
    return FDialogs.BrowseForFolder("Select save directory", Target);
  };
  Read.Work = [&] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    std::string Skipped;   // files that could not be made; the next game is still read
    std::string NotRead;   // games a failed exchange left unread
    std::string Verdicts;  // what the DAT says of each backup
    // Several games go into the folder under their titles, an existing file
    // of the same name replaced without a question; two games of one title
    // get names of their own.
    std::vector<std::string> Titles;
    for (const TCardRow& Game : Games) Titles.push_back(Game.Title);
    const std::vector<std::string> Names = GameFileNames(Titles, ".GB");
    std::string Detail;   // the file and the system's reason of a single game's failure
    for (size_t Index = 0; Index < Games.size(); ++Index) {
      const TCardRow& Game = Games[Index];
      const std::string File = Games.size() == 1 ? Target : AddBackslash(Target) + Names[Index];
      TTransferOutcome Outcome;
      if (ReadToFile(Game.Offset, Game.Offset + Game.Size, cmdReadRom, File, FLink, &Outcome)) {
        // A name the user typed stays; the folder's files follow the DAT.
        if (!FDatFile.empty()) Verdicts += "\r\n" + JudgeReadBackup(File, Game.Title, Games.size() > 1);
        continue;
      }
      Detail = Outcome.Detail;
      // A Stop or a failed exchange ends the whole read.
      if (!FState.Operating) {
        if (Outcome.End == TTransferEnd::LinkFailed)
          for (size_t Rest = Index; Rest < Games.size(); ++Rest) NotRead += "\r\n" + Names[Rest];
        break;
      }
      Skipped += "\r\n" + (Outcome.Detail.empty() ? File : Outcome.Detail);
    }
    if (Games.size() > 1 && !Skipped.empty())
      FFrontEnd.ShowMessageBox(ReadFileCreateError + Skipped, "Error", MB_FLAGS_ERROR);
    else if (Games.size() > 1 && !NotRead.empty() && FFrontEnd.MessageBoxesShown() == Boxes)
      FFrontEnd.ShowMessageBox(FFrontEnd.StatusText(1) + "\r\nNot read:" + NotRead, "Error", MB_FLAGS_ERROR);
    else
      ShowFailureBox(Boxes, Detail);
    if (!Verdicts.empty()) {
      const std::string Complete = FFrontEnd.StatusText(1);
      FFrontEnd.ShowMessageBox("Checked against " + FDatFile + ":" + Verdicts, "Read", MB_FLAGS_INFO);
      FFrontEnd.SetStatusText(1, Complete);
    }
  };
  RunOperation(btnRead, Read);
}

void TMainForm::btnReadSRAMClick() {
  std::string File;
  TOperation ReadSram;
  ReadSram.RestoredCaption = "&Read SRAM";
  ReadSram.Prepare = [&] {
    File = FSaveRamFile;
    if (!FDialogs.ChooseSaveFile(SaveFilter, File, File)) return false;
    FSaveRamFile = File;
    return true;
  };
  ReadSram.Work = [&] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    TTransferOutcome Outcome;
    ReadToFile(0, SaveRamSize, cmdReadSram, File, FLink, &Outcome);
    ShowFailureBox(Boxes, Outcome.Detail);
  };
  RunOperation(btnReadSRAM, ReadSram);
}

void TMainForm::btnReadAllClick() {
  TOperation ReadAll;
  ReadAll.RestoredCaption = "&Read";
  ReadAll.Prepare = [&] {
    if (Edit1->Text().empty()) btnReadB->Click();
    return !Edit1->Text().empty() && cbSize->ItemIndex() >= 0;
  };
  ReadAll.Work = [&] {
    const int Boxes = FFrontEnd.MessageBoxesShown();
    const uint32_t Size = SmallestReadAll * static_cast<uint32_t>(std::lround(std::pow(2.0, cbSize->ItemIndex())));
    TTransferOutcome Outcome;
    ReadToFile(0, Size, cmdReadRom, Edit1->Text(), FLink, &Outcome);
    ShowFailureBox(Boxes, Outcome.Detail);
  };
  RunOperation(btnReadAll, ReadAll);
}

void TMainForm::btnReadBClick() {
  std::string File = Edit1->Text();
  if (FDialogs.ChooseSaveFile(GameFilter, File, File)) Edit1->SetText(File);
}
