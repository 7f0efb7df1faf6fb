// SPDX-License-Identifier: GPL-3.0-or-later
// The game queue in the window: lvROMs shows the rows of the queue, Add asks
// for games, Remove and Remove All take rows out, dropped files join it.
#include "app/form/Dialogs.h"
#include "app/form/MainForm.h"
#include "app/form/TextCodes.h"
#include "core/queue/GameFileInfo.h"
#include "core/queue/HeaderCheck.h"
#include "core/queue/HeaderMend.h"
#include "core/queue/HeaderView.h"

#include <filesystem>

namespace {

constexpr const char* GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";

// A queue row as the list shows it: file name, title, size, and the size in
// bytes as a hidden cell. Built whole before it goes into the list, so that
// inserting it is one change of the list.
TListView::TRow QueueListRow(const TQueueRow& Row) {
  return {Row.FileName, BytesAsText(Row.Title), Row.SizeText, std::to_string(Row.Size)};
}

}  // namespace

void TMainForm::MirrorQueue() {
  // The queue changed by one inserted or removed row (or was emptied): the
  // rows the list shows in front of and behind the change stay as they are.
  const std::vector<TQueueRow>& Rows = FQueue.Rows();
  if (Rows.empty()) {
    if (lvROMs->RowCount() > 0) lvROMs->Clear();
    return;
  }
  const int Count = static_cast<int>(Rows.size());
  const auto Shows = [&](int ListRow, int QueueRow) {
    return lvROMs->Row(ListRow) == QueueListRow(Rows[static_cast<size_t>(QueueRow)]);
  };
  int Head = 0;
  while (Head < Count && Head < lvROMs->RowCount() && Shows(Head, Head)) ++Head;
  int Tail = 0;
  while (Tail < Count - Head && Tail < lvROMs->RowCount() - Head &&
         Shows(lvROMs->RowCount() - 1 - Tail, Count - 1 - Tail))
    ++Tail;
  // The list rows between Head and Tail go, the queue's rows there come in.
  for (int Gone = lvROMs->RowCount() - Head - Tail; Gone > 0; --Gone) lvROMs->DeleteRow(Head);
  for (int Index = Head; Index < Count - Tail; ++Index)
    lvROMs->InsertRow(Index, QueueListRow(Rows[static_cast<size_t>(Index)]));
}

bool TMainForm::HeaderAccepted(const std::string& FileName) {
  // A file the queue refuses anyway (unreadable, no header at all) gets its
  // refusal box, not a question first.
  if (!ReadGameHeader(FileName).Usable()) return true;
  const std::vector<std::string> Problems = CheckGameHeader(FileName);
  if (Problems.empty()) return true;
  // Never refused nor queued unseen: the user decides, once per file.
  if (FFrontEnd.ShowMessageBox(HeaderQuestion(FileName, Problems), "Add", MB_FLAGS_QUESTION) != MB_RESULT_YES)
    return false;
  AskToMend(FileName);
  return true;
}

void TMainForm::AskToMend(const std::string& FileName) {
  TGameHeader Header;
  std::string Error;
  if (!DecodeGameFile(FileName, Header, Error) || Header.HeaderChecksum == Header.HeaderChecksumComputed) return;
  std::string Question = "Write " + std::filesystem::path(FileName).filename().string() +
                         " with its header checksum mended? The file on disk stays as it is.";
  if (!Header.LogoValid) Question += "\r\n" + LogoNotMendedText(FileName);
  if (FFrontEnd.ShowMessageBox(Question, "Add", MB_FLAGS_QUESTION) == MB_RESULT_YES)
    FMendFiles.insert(FileName);
  else
    FMendFiles.erase(FileName);
}

void TMainForm::AddGameFile(const std::string& FileName) {
  if (!HeaderAccepted(FileName)) return;
  // The queue checks the file and the space and shows its refusals itself.
  if (FQueue.AddGameFile(FileName, FFrontEnd)) UpdateQueueCaption();
}

void TMainForm::UpdateQueueCaption() { gbWrite->SetCaption(FQueue.QueueCaptionText()); }

void TMainForm::AddMenuExecute() {
  std::vector<std::string> Files;
  if (FDialogs.ChooseOpenFiles(GameFilter, std::string(), true, Files))
    for (const std::string& File : Files) AddGameFile(File);
  // Also after a cancel: the card shows the selected page again.
  FLink.SelectPage(FState.PageBase);
}

void TMainForm::RemoveMenuExecute() {
  std::vector<size_t> Selected;
  for (int Row : lvROMs->SelectedRows()) Selected.push_back(static_cast<size_t>(Row));
  FQueue.RemoveRows(Selected);
  UpdateQueueCaption();
  UpdateListButtons();
}

void TMainForm::RemoveAllMenuExecute() {
  FQueue.RemoveAll();
  UpdateQueueCaption();
  UpdateListButtons();
}
