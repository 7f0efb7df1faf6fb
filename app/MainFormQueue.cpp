// The game queue in the window: lvROMs shows the rows of the queue, Add asks
// for games, Remove and Remove All take rows out, dropped files join it.
#include <QAction>
#include <QGroupBox>
#include <QTreeWidget>
#include <algorithm>

#include "app/MainForm.h"

namespace {

constexpr const char* GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";

// What a queue row keeps beside its columns: the size in bytes.
constexpr int QueueSizeRole = Qt::UserRole;

// A row is built whole before it goes into the list, so that inserting it
// is one change of the list and not one more for every column set later.
QTreeWidgetItem* MakeQueueItem(const TQueueRow& Row) {
  // Titles are the header's raw bytes: shown one character per byte, so no
  // byte is lost or turned into a replacement mark.
  auto* Item = new QTreeWidgetItem(
      QStringList{QString::fromStdString(Row.FileName),
                  QString::fromLatin1(Row.Title.data(), static_cast<qsizetype>(Row.Title.size())),
                  QString::fromStdString(Row.SizeText)});
  Item->setData(0, QueueSizeRole, static_cast<qulonglong>(Row.Size));
  return Item;
}

bool Shows(const QTreeWidgetItem* Item, const TQueueRow& Row) {
  return Item->text(0) == QString::fromStdString(Row.FileName) &&
         Item->data(0, QueueSizeRole).toULongLong() == Row.Size &&
         Item->text(1) == QString::fromLatin1(Row.Title.data(), static_cast<qsizetype>(Row.Title.size()));
}

}  // namespace

void TMainForm::MirrorQueue() {
  // The queue changed by one inserted or removed row (or was emptied): the
  // rows the list shows in front of and behind the change stay as they are.
  const std::vector<TQueueRow>& Rows = FQueue.Rows();
  if (Rows.empty()) {
    if (lvROMs->topLevelItemCount() > 0) lvROMs->clear();
    return;
  }
  const int Count = static_cast<int>(Rows.size());
  int Head = 0;
  while (Head < Count && Head < lvROMs->topLevelItemCount() && Shows(lvROMs->topLevelItem(Head), Rows[Head]))
    ++Head;
  int Tail = 0;
  while (Tail < Count - Head && Tail < lvROMs->topLevelItemCount() - Head &&
         Shows(lvROMs->topLevelItem(lvROMs->topLevelItemCount() - 1 - Tail), Rows[Count - 1 - Tail]))
    ++Tail;
  // The list rows between Head and Tail go, the queue's rows there come in.
  for (int Gone = lvROMs->topLevelItemCount() - Head - Tail; Gone > 0; --Gone) delete lvROMs->takeTopLevelItem(Head);
  for (int Index = Head; Index < Count - Tail; ++Index)
    lvROMs->insertTopLevelItem(Index, MakeQueueItem(Rows[static_cast<size_t>(Index)]));
}

void TMainForm::AddGameFile(const std::string& FileName) {
  // The queue checks the file and the space and shows its refusals itself.
  if (FQueue.AddGameFile(FileName, FFrontEnd)) UpdateQueueCaption();
}

void TMainForm::UpdateQueueCaption() { gbWrite->setTitle(QString::fromStdString(FQueue.QueueCaptionText())); }

void TMainForm::AddMenuExecute() {
  std::vector<std::string> Files;
  if (FFrontEnd.ChooseOpenFiles(GameFilter, std::string(), true, Files))
    for (const std::string& File : Files) AddGameFile(File);
  // Also after a cancel: the card shows the selected page again.
  FLink.SelectPage(FState.PageBase);
}

void TMainForm::RemoveMenuExecute() {
  std::vector<size_t> Selected;
  for (QTreeWidgetItem* Item : lvROMs->selectedItems())
    Selected.push_back(static_cast<size_t>(lvROMs->indexOfTopLevelItem(Item)));
  FQueue.RemoveRows(Selected);
  UpdateQueueCaption();
  UpdateListButtons();
}

void TMainForm::RemoveAllMenuExecute() {
  FQueue.RemoveAll();
  UpdateQueueCaption();
  UpdateListButtons();
}
