// SPDX-License-Identifier: GPL-3.0-or-later
// Knowing the games: the header details of a queued game and of a card game
// (each from its list's popup menu, so the window keeps its layout), the DAT
// file the window checks against, and the verdicts it gives.
#include <filesystem>
#include <system_error>

#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"
#include "app/form/TextCodes.h"
#include "core/dat/DatSetting.h"
#include "core/dat/DatVerdict.h"
#include "core/dat/GameHashes.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/HeaderView.h"
#include "core/transfer/ReadToMemory.h"

namespace {

constexpr const char* DatFilter = "DAT Files (*.dat;*.xml)|*.dat;*.xml|All Files (*.*)|*.*";

std::string Joined(const std::vector<std::string>& Lines) {
  std::string Text;
  for (const std::string& Line : Lines) Text += (Text.empty() ? "" : "\r\n") + Line;
  return Text;
}

std::string FileNameOf(const std::string& Path) { return std::filesystem::path(Path).filename().string(); }

}  // namespace

void TMainForm::BindDetailsControls() {
  TFormWindow& W = FormWindow();
  Details1 = &W.Get<TMenuItem>("Details1");
  CardDetails1 = &W.Get<TMenuItem>("CardDetails1");
  CardCheck1 = &W.Get<TMenuItem>("CardCheck1");
  DatFile1 = &W.Get<TMenuItem>("DatFile1");
  Details1->SetCaption(DetailsCaption);
  CardDetails1->SetCaption(DetailsCaption);
  CardCheck1->SetCaption(CheckCaption);
  DatFile1->SetCaption(DatFileCaption);
  Details1->OnClick = [this] { Details1Click(); };
  CardDetails1->OnClick = [this] { CardDetails1Click(); };
  CardCheck1->OnClick = [this] { CardCheck1Click(); };
  DatFile1->OnClick = [this] { DatFile1Click(); };
  FDatFile = LoadDatSetting();
}

const TDatFile* TMainForm::Dat() {
  if (FDatFile.empty()) return nullptr;
  if (FDat && FDatLoaded == FDatFile) return FDat.get();
  auto Loaded = std::make_unique<TDatFile>();
  std::string Error;
  if (!Loaded->Load(FDatFile, Error)) {
    FDat.reset();
    FFrontEnd.ShowMessageBox(Error + "\r\nChoose another one with \"Choose DAT file...\" in the card list's menu.",
                             "DAT file", MB_FLAGS_ERROR);
    return nullptr;
  }
  FDat = std::move(Loaded);
  FDatLoaded = FDatFile;
  return FDat.get();
}

void TMainForm::DatFile1Click() {
  std::vector<std::string> Files;
  if (!FDialogs.ChooseOpenFiles(DatFilter, FDatFile, false, Files) || Files.empty()) return;
  auto Loaded = std::make_unique<TDatFile>();
  std::string Error;
  if (!Loaded->Load(Files.front(), Error)) {
    // The one remembered before stays.
    FFrontEnd.ShowMessageBox(Error, "DAT file", MB_FLAGS_ERROR);
    return;
  }
  FDatFile = Files.front();
  FDat = std::move(Loaded);
  FDatLoaded = FDatFile;
  std::string Text = FDatFile + ": " + std::to_string(FDat->Entries().size()) + " dumps.";
  for (const std::string& Warning : FDat->Warnings()) Text += "\r\n" + Warning;
  if (!SaveDatSetting(FDatFile)) Text += "\r\nIt cannot be remembered: " + DatSettingFile() + " cannot be written.";
  FFrontEnd.ShowMessageBox(Text, "DAT file", MB_FLAGS_INFO);
}

void TMainForm::Details1Click() {
  const std::vector<int> Selected = lvROMs->SelectedRows();
  if (Selected.empty()) return;
  const std::string File = FQueue.Rows().at(static_cast<size_t>(Selected.front())).FileName;
  TGameHeader Header;
  std::string Error;
  if (!DecodeGameFile(File, Header, Error)) {
    FFrontEnd.ShowMessageBox(Error, "Error", MB_FLAGS_ERROR);
    return;
  }
  std::vector<std::string> Lines = HeaderViewLines(Header, BytesAsText);
  if (const TDatFile* Known = Dat()) {
    TGameHashes Hashes;
    if (HashFile(File, Hashes, Error))
      Lines.push_back("DAT: " + JudgeDump(*Known, Hashes, Header.Title).Text());
  }
  FFrontEnd.ShowMessageBox(Joined(Lines), FileNameOf(File), MB_FLAGS_INFO);
}

void TMainForm::CardDetails1Click() {
  const std::vector<int> Selected = lvCardRom->SelectedRows();
  if (Selected.empty() || FState.Operating) return;
  const TCardRow Game = CardRowOf(lvCardRom->Row(Selected.front()));
  // The whole game is read, as the global checksum and the DAT need it;
  // the Read button is its Stop meanwhile.
  std::string Text;
  TOperation Details;
  Details.RestoredCaption = "&Read";
  Details.Work = [&] {
    std::vector<uint8_t> Bytes;
    if (!ReadToMemory(Game.Offset, Game.Offset + Game.Size, cmdReadRom, FLink, Bytes)) return;
    TGameHeader Header;
    if (!DecodeGameHeader(Bytes.data(), static_cast<int64_t>(Bytes.size()), static_cast<int64_t>(Bytes.size()),
                          Header))
      return;
    std::vector<std::string> Lines = HeaderViewLines(Header, BytesAsText);
    if (const TDatFile* Known = Dat())
      Lines.push_back("DAT: " + JudgeDump(*Known, HashBytes(Bytes.data(), Bytes.size()), Game.Title).Text());
    Text = Joined(Lines);
    FFrontEnd.SetStatusText(1, "");
  };
  RunOperation(btnRead, Details);
  if (!Text.empty()) FFrontEnd.ShowMessageBox(Text, BytesAsText(Game.Title), MB_FLAGS_INFO);
}

void TMainForm::CardCheck1Click() {
  if (FState.Operating || lvCardRom->RowCount() == 0) return;
  if (FDatFile.empty()) DatFile1Click();
  const TDatFile* Known = Dat();
  if (!Known) return;
  // The selected games, or all of them when none is selected.
  std::vector<TCardRow> Games;
  std::vector<int> Rows = lvCardRom->SelectedRows();
  if (Rows.empty())
    for (int Row = 0; Row < lvCardRom->RowCount(); ++Row) Rows.push_back(Row);
  for (int Row : Rows) Games.push_back(CardRowOf(lvCardRom->Row(Row)));
  std::vector<std::string> Lines;
  bool Complete = false;
  TOperation Check;
  Check.RestoredCaption = "&Read";
  Check.Work = [&] {
    for (const TCardRow& Game : Games) {
      std::vector<uint8_t> Bytes;
      if (!ReadToMemory(Game.Offset, Game.Offset + Game.Size, cmdReadRom, FLink, Bytes)) return;
      Lines.push_back(BytesAsText(Game.Title) + ": " +
                      JudgeDump(*Known, HashBytes(Bytes.data(), Bytes.size()), Game.Title).Text());
    }
    Complete = true;
    FFrontEnd.SetStatusText(1, "");
  };
  RunOperation(btnRead, Check);
  if (!Complete) Lines.push_back("The check ended early; the games after these were not checked.");
  FFrontEnd.ShowMessageBox(Joined(Lines), "Check against the DAT", Complete ? MB_FLAGS_INFO : MB_FLAGS_ERROR);
}

std::string TMainForm::JudgeReadBackup(const std::string& File, const std::string& Title, bool Rename) {
  const TDatFile* Known = Dat();
  if (!Known) return std::string();
  TGameHashes Hashes;
  std::string Error;
  if (!HashFile(File, Hashes, Error)) return Error;
  const TDatVerdict Verdict = JudgeDump(*Known, Hashes, Title);
  std::string Now = File;
  if (Rename && Verdict.Match == TDatMatch::Verified) {
    // In a folder read, files of the same name are replaced, as the
    // title-named ones are.
    const std::string Named = (std::filesystem::path(File).parent_path() / DatBackupName(*Verdict.Entry)).string();
    std::error_code Code;
    std::filesystem::rename(File, Named, Code);
    if (!Code) Now = Named;
  }
  return Now + ": " + Verdict.Text();
}
