#include "app/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
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

}  // namespace

QString FileDialogFilter(const std::string& Filter) {
  const QStringList Parts = FromText(Filter).split(QLatin1Char('|'));
  QStringList Entries;
  for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
    QStringList Patterns = Parts[I + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& Pattern : Patterns) Pattern = Pattern.trimmed();
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
  QFileDialog Dialog(Owner(), QString(), FromText(InitialPath), FileDialogFilter(Filter));
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(Multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  Dialog.setOption(QFileDialog::ReadOnly, false);
  Dialog.setWindowModality(Qt::ApplicationModal);
  if (Dialog.exec() != QDialog::Accepted) return false;
  Files.clear();
  for (const QString& Name : Dialog.selectedFiles()) Files.push_back(ToText(Name));
  return !Files.empty();
}

bool TQtDialogs::ChooseSaveFile(const std::string& Filter, const std::string& InitialPath, std::string& File) {
  QFileDialog Dialog(Owner(), QString(), FromText(InitialPath), FileDialogFilter(Filter));
  Dialog.setAcceptMode(QFileDialog::AcceptSave);
  Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setOption(QFileDialog::DontConfirmOverwrite, false);   // asks before overwriting
  Dialog.setWindowModality(Qt::ApplicationModal);
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty()) return false;
  File = ToText(Dialog.selectedFiles().front());
  return true;
}

bool TQtDialogs::BrowseForFolder(const std::string& Title, std::string& Folder) {
  std::error_code Ignored;
  if (!std::filesystem::is_directory(std::filesystem::u8path(Folder), Ignored)) Folder.clear();
  const QString Chosen = QFileDialog::getExistingDirectory(Owner(), FromText(Title), FromText(Folder),
                                                           QFileDialog::ShowDirsOnly);
  if (Chosen.isEmpty()) return false;
  Folder = ToText(Chosen);
  return true;
}
