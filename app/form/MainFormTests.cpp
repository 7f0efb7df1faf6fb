// SPDX-License-Identifier: GPL-3.0-or-later
// The factory test box (the "/rom" and "/sram" modes) and the way into the
// port test window.
#include <filesystem>
#include <system_error>

#include "app/form/Dialogs.h"
#include "app/form/IOTestForm.h"
#include "app/form/MainForm.h"
#include "app/form/WindowLook.h"
#include "core/factory/FactoryTest.h"
#include "core/transfer/FormatCard.h"

namespace {

constexpr const char* FullTestCaption = "Test";

constexpr const char* SaveFileFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";
constexpr const char* GameFileFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";

bool IsExistingFile(const std::string& Name) {
  std::error_code Ignored;
  return !Name.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(Name), Ignored);
}

}  // namespace

void TMainForm::BindTestControls() {
  // "Test" and "Write" share one handler, which tells them apart by the
  // caption the clicked button has at the moment of the click.
  btnTestSRAM->OnClick = [this] { btnTestSRAMClick(btnTestSRAM); };
  btnTestWrite->OnClick = [this] { btnTestSRAMClick(btnTestWrite); };
  BitBtn1->OnClick = [this] { BitBtn1Click(); };
  btnTestFormat->OnClick = [this] { btnTestFormatClick(); };
  OnPortTestWindow = [this] { OpenPortTestWindow(); };
}

void TMainForm::ShowTestState(const std::string& Text, TColour Colour) {
  labCheckSRAM->SetFontColour(Colour);
  labCheckSRAM->SetCaption(Text);
}

void TMainForm::BitBtn1Click() {
  // The window's one open dialog, with the mode's filter; of several chosen
  // files the first one counts.
  std::vector<std::string> Files;
  const char* Filter = FState.TestSRAMMode ? SaveFileFilter : GameFileFilter;
  if (!FDialogs.ChooseOpenFiles(Filter, std::string(), true, Files) || Files.empty()) return;
  edTestSRAM->SetText(Files.front());
}

void TMainForm::btnTestSRAMClick(TButton* Sender) {
  TOperation Test;
  // Both the running button and a stop click get back the caption they had
  // when clicked: "&Stop" for a stop click on the running button itself,
  // "Write" when "Write" stopped a full test.
  Test.RestoredCaption = Sender->Caption();
  const bool WriteOnly = Test.RestoredCaption != FullTestCaption;
  std::string TestFile;
  Test.Prepare = [this, &TestFile] {
    if (!IsExistingFile(edTestSRAM->Text())) BitBtn1Click();
    if (!IsExistingFile(edTestSRAM->Text())) return false;
    // The name taken now serves the whole run, whatever the edit says later.
    TestFile = edTestSRAM->Text();
    return true;
  };
  Test.Work = [this, &TestFile, WriteOnly] { RunTest(TestFile, WriteOnly); };
  // Why the test failed stays in the status bar after the closing
  // identification, which empties it.
  FTestReason.clear();
  Test.AfterIdentify = [this] {
    if (!FTestReason.empty()) FFrontEnd.SetStatusText(1, FTestReason);
  };
  RunOperation(Sender, Test);
}

void TMainForm::RunTest(const std::string& TestFile, bool WriteOnly) {
  TFactoryRun Run;
  Run.Mode = FState.TestSRAMMode ? TFactoryMode::Sram : TFactoryMode::Rom;
  Run.WriteOnly = WriteOnly;
  Run.TestFile = TestFile;
  Run.OnStage = [this](const char* Stage) { ShowTestState(Stage, TestStateColour); };
  // The window's identification: while the test runs it leaves the controls
  // as the run set them, with the clicked button as the Stop button.
  Run.IdentifyChip = [this] { IdentifyChip(); };
  // The test file goes to the first page and is read back from there.
  FState.PageBase = 0;
  // The save RAM test overwrites the card's save, the flash test wipes the
  // games it belongs to: kept in the vault first.
  Run.BackupSave = true;
  Run.Titles = CardTitles();
  Run.GoOnWithoutBackup = [this](const TSaveBackupResult& Backup) { return GoOnWithoutBackup(Backup); };
  TFactoryResult Result;
  const TFactoryVerdict Verdict = RunFactoryTest(Run, FLink, &Result);
  FTestReason = Verdict == TFactoryVerdict::Ok ? std::string() : Result.Reason;
  // Panel 1 after the closing steps: the reason, and the backup made.
  FKeptOutcome = FTestReason;
  if (!Result.BackupFile.empty())
    FKeptOutcome += (FKeptOutcome.empty() ? "" : "  ") + std::string("Save backup: ") + Result.BackupFile;
  const TColour Colour = Verdict == TFactoryVerdict::Ok       ? TestPassColour
                         : Verdict == TFactoryVerdict::Failed ? TestFailColour
                                                              : TestStateColour;
  ShowTestState(FactoryVerdictText(Verdict), Colour);
}

void TMainForm::btnTestFormatClick() {
  // Outside the operation pattern: nothing is greyed out, Operating is left
  // alone, and it may run between two packets of a running test. The format
  // does not look at its packets' results, so it always ends "OK".
  ShowTestState(FactoryFormattingText, TestStateColour);
  FormatCard(true, FLink);
  ShowTestState("OK", TestPassColour);
}

void TMainForm::OpenPortTestWindow() {
  {
    TIOTestForm Form(FBinding, FLink, FWindow.get());
    Form.ShowModal();
  }
  // The window took the key events while it was open, so the right Ctrl
  // key may have been let go unseen: with no Ctrl key held any more it
  // counts as released, or the next plain click would open the window again.
  if (!FBinding.ControlKeyHeld()) FRightControlDown = false;
}
