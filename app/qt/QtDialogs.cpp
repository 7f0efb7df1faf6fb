// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <filesystem>

namespace {

QWidget* Owner() { return QApplication::activeWindow(); }

QString FromText(const std::string& Text) { return QString::fromStdString(Text); }
std::string ToText(const QString& Text) { return Text.toStdString(); }

QMessageBox::Icon IconOf(int Flags) {
  switch (Flags & 0xF0) {
    case 16: return QMessageBox::Critical;
    case 32: return QMessageBox::Question;
    case 48: return QMessageBox::Warning;
    case 64: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// The folder of the file last chosen in any file dialog during this run.
QString LastFolder;

// Where a dialog opens: the initial path as given when it names a folder;
// a bare file name (or nothing) in the folder used last.
QString StartPath(const std::string& InitialPath) {
  const QString Path = FromText(InitialPath);
  if (LastFolder.isEmpty() || QFileInfo(Path).isAbsolute() || Path.contains(QLatin1Char('/'))) return Path;
  return Path.isEmpty() ? LastFolder : QDir(LastFolder).filePath(Path);
}

void RememberFolder(const QString& File) { LastFolder = QFileInfo(File).absolutePath(); }

// A save dialog adds the chosen filter's suffix to a name typed without one,
// and a filter chosen later brings its own suffix.
void FollowFilterSuffix(QFileDialog& Dialog) {
  Dialog.setDefaultSuffix(DefaultSuffixOf(Dialog.selectedNameFilter()));
  QObject::connect(&Dialog, &QFileDialog::filterSelected, &Dialog,
                   [&Dialog](const QString& Filter) { Dialog.setDefaultSuffix(DefaultSuffixOf(Filter)); });
}

}  // namespace

QString DefaultSuffixOf(const QString& NameFilter) {
  // The first pattern in the filter's last parentheses: "(*.sav)" gives "sav",
  // "(*)" nothing.
  static const QRegularExpression Patterns(QStringLiteral("\\(([^()]*)\\)\\s*$"));
  const QRegularExpressionMatch Match = Patterns.match(NameFilter);
  if (!Match.hasMatch()) return QString();
  const QString First = Match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
  if (!First.startsWith(QStringLiteral("*.")) || First.size() < 3) return QString();
  const QString Suffix = First.mid(2);
  return Suffix.contains(QLatin1Char('*')) || Suffix.contains(QLatin1Char('?')) ? QString() : Suffix;
}

QString FileDialogFilter(const std::string& Filter) {
  const QStringList Parts = FromText(Filter).split(QLatin1Char('|'));
  QStringList Entries;
  for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
    QStringList Patterns = Parts[I + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& Pattern : Patterns) {
      Pattern = Pattern.trimmed();
      // "*.*" means every file; on Linux it would hide names without a dot.
      if (Pattern == QStringLiteral("*.*")) Pattern = QStringLiteral("*");
    }
    Entries << Parts[I].trimmed() + QStringLiteral(" (") + Patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return Entries.join(QStringLiteral(";;"));
}

int TQtDialogs::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  QMessageBox Box(IconOf(Flags), FromText(Caption), FromText(Text), QMessageBox::NoButton, Owner());
  Box.setWindowModality(Qt::ApplicationModal);
  struct TChoice { QMessageBox::StandardButton Button; int Result; };
  std::vector<TChoice> Choices;
  switch (Flags & 0x0F) {
    case 1: Choices = {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, 2}}; break;
    case 3: Choices = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::Cancel, 2}}; break;
    case 4: Choices = {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}}; break;
    default: Choices = {{QMessageBox::Ok, 1}}; break;
  }
  for (const TChoice& Choice : Choices) Box.addButton(Choice.Button);
  // Closing the box counts as its last choice (No, Cancel or OK).
  Box.setEscapeButton(Box.button(Choices.back().Button));
  Box.setDefaultButton(Choices.front().Button);
  Box.exec();
  const auto* Clicked = Box.clickedButton();
  for (const TChoice& Choice : Choices)
    if (Clicked == Box.button(Choice.Button)) return Choice.Result;
  return Choices.back().Result;
}

bool TQtDialogs::ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                                 std::vector<std::string>& Files) {
  QFileDialog Dialog(Owner(), QString(), StartPath(InitialPath), FileDialogFilter(Filter));
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(Multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  Dialog.setOption(QFileDialog::ReadOnly, false);
  Dialog.setWindowModality(Qt::ApplicationModal);
  if (Dialog.exec() != QDialog::Accepted) return false;
  Files.clear();
  for (const QString& Name : Dialog.selectedFiles()) Files.push_back(ToText(Name));
  if (!Files.empty()) RememberFolder(Dialog.selectedFiles().front());
  return !Files.empty();
}

bool TQtDialogs::ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) {
  QFileDialog Dialog(Owner(), QString(), StartPath(InitialPath), FileDialogFilter(Filter));
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setFileMode(QFileDialog::AnyFile);
  FollowFilterSuffix(Dialog);
  Dialog.setOption(QFileDialog::DontConfirmOverwrite, false);   // asks before overwriting
  Dialog.setWindowModality(Qt::ApplicationModal);
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return false;
  File = ToText(Dialog.selectedFiles().front());
  RememberFolder(Dialog.selectedFiles().front());
  return true;
}

bool TQtDialogs::BrowseForFolder(const std::string& Title, std::string& Folder) {
  std::error_code Ignored;
  if (!std::filesystem::is_directory(std::filesystem::u8path(Folder), Ignored)) Folder.clear();
  const QString Start = Folder.empty() ? LastFolder : FromText(Folder);
  const QString Chosen = QFileDialog::getExistingDirectory(Owner(), FromText(Title), Start, QFileDialog::ShowDirsOnly);
  if (Chosen.isEmpty()) return false;
  Folder = ToText(Chosen);
  LastFolder = Chosen;
  return true;
}
