#include "app/WindowFrontEnd.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/MainForm.h"
#include "app/support/Dialogs.h"
#include "app/support/Panel.h"

TWindowFrontEnd::TWindowFrontEnd(TMainForm& Form, TDialogs& Dialogs) : FForm(Form), FDialogs(Dialogs) {}

void TWindowFrontEnd::SetStatusText(int Panel, const std::string& Text) {
  QLabel* Target = Panel == 0 ? FForm.StatusPanel0 : FForm.StatusPanel1;
  if (Target) Target->setText(QString::fromStdString(Text));
  FShowPending = true;
}

std::string TWindowFrontEnd::StatusText(int Panel) const {
  const QLabel* Source = Panel == 0 ? FForm.StatusPanel0 : FForm.StatusPanel1;
  return Source ? Source->text().toStdString() : std::string();
}

void TWindowFrontEnd::PumpMessages() {
  if (!FShowPending && std::chrono::steady_clock::now() - FLastDispatch < FDispatchInterval) return;
  FShowPending = false;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Counted from the end of the pass: a pass that painted the whole window
  // may itself take longer than the interval.
  FLastDispatch = std::chrono::steady_clock::now();
}

void TWindowFrontEnd::SetProgress(int Position) {
  FForm.ProgressBar->setValue(Position);
  FShowPending = true;
}
int TWindowFrontEnd::Progress() const { return FForm.ProgressBar->value(); }
int TWindowFrontEnd::ProgressMax() const { return FForm.ProgressBar->maximum(); }

void TWindowFrontEnd::ShowBusyPanel(const std::string& Caption) {
  FForm.pFindGame->setText(QString::fromStdString(Caption));
  FForm.pFindGame->show();
  FForm.pFindGame->raise();
  FShowPending = true;
}

void TWindowFrontEnd::HideBusyPanel() {
  FForm.pFindGame->hide();
  FShowPending = true;
}

int TWindowFrontEnd::ShowMessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  ++FMessageBoxes;
  return FDialogs.ShowMessageBox(Text, Caption, Flags);
}

void TWindowFrontEnd::SetWindowCaption(const std::string& Caption) {
  FForm.setWindowTitle(QString::fromStdString(Caption));
}

bool TWindowFrontEnd::ChooseOpenFiles(const std::string& Filter, const std::string& InitialPath, bool Multiple,
                                      std::vector<std::string>& Files) {
  return FDialogs.ChooseOpenFiles(Filter, InitialPath, Multiple, Files);
}

bool TWindowFrontEnd::ChooseSaveFile(const std::string& Filter, const std::string& InitialPath,
                                     std::string& File) {
  return FDialogs.ChooseSaveFile(Filter, InitialPath, File);
}

bool TWindowFrontEnd::BrowseForFolder(const std::string& Title, std::string& Folder) {
  return FDialogs.BrowseForFolder(Title, Folder);
}
