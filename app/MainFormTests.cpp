// The factory test box (the "/rom" and "/sram" modes) and the way into the
// port test window.
#include <QColor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <system_error>

#include "app/MainForm.h"
#include "app/porttest/IOTestForm.h"
#include "core/factory/FactoryTest.h"
#include "core/transfer/FormatCard.h"

namespace {

const QString FullTestCaption = QStringLiteral("Test");
const QColor StateColour(0, 0, 0);
const QColor PassColour(0, 128, 0);
const QColor FailColour(255, 0, 0);

constexpr const char* SaveFileFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";
constexpr const char* GameFileFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";

bool IsExistingFile(const QString& Name) {
  std::error_code Ignored;
  return !Name.isEmpty() && std::filesystem::is_regular_file(std::filesystem::u8path(Name.toStdString()), Ignored);
}

}  // namespace

void TMainForm::BindTestControls() {
  // "Test" and "Write" share one handler, which tells them apart by the
  // caption the clicked button has at the moment of the click.
  connect(btnTestSRAM, &QPushButton::clicked, this, [this] { btnTestSRAMClick(btnTestSRAM); });
  connect(btnTestWrite, &QPushButton::clicked, this, [this] { btnTestSRAMClick(btnTestWrite); });
  connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn1Click);
  connect(btnTestFormat, &QPushButton::clicked, this, &TMainForm::btnTestFormatClick);

  // Where the verdict font is missing, the nearest fixed-pitch one stands in.
  QFont Verdict = labCheckSRAM->font();
  Verdict.setStyleHint(QFont::TypeWriter);
  labCheckSRAM->setFont(Verdict);

  OnPortTestWindow = [this] { OpenPortTestWindow(); };
}

void TMainForm::ShowTestState(const QString& Text, const QColor& Colour) {
  QPalette Look = labCheckSRAM->palette();
  for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    Look.setColor(Group, QPalette::WindowText, Colour);
  labCheckSRAM->setPalette(Look);
  labCheckSRAM->setText(Text);
}

void TMainForm::BitBtn1Click() {
  // The window's one open dialog, with the mode's filter; of several chosen
  // files the first one counts.
  std::vector<std::string> Files;
  const char* Filter = FState.TestSRAMMode ? SaveFileFilter : GameFileFilter;
  if (!FFrontEnd.ChooseOpenFiles(Filter, std::string(), true, Files) || Files.empty()) return;
  edTestSRAM->setText(QString::fromStdString(Files.front()));
}

void TMainForm::btnTestSRAMClick(QPushButton* Sender) {
  TOperation Test;
  // Both the running button and a stop click get back the caption they had
  // when clicked: "&Stop" for a stop click on the running button itself,
  // "Write" when "Write" stopped a full test.
  Test.RestoredCaption = Sender->text();
  const bool WriteOnly = Test.RestoredCaption != FullTestCaption;
  std::string TestFile;
  Test.Prepare = [this, &TestFile] {
    if (!IsExistingFile(edTestSRAM->text())) BitBtn1Click();
    if (!IsExistingFile(edTestSRAM->text())) return false;
    // The name taken now serves the whole run, whatever the edit says later.
    TestFile = edTestSRAM->text().toStdString();
    return true;
  };
  Test.Work = [this, &TestFile, WriteOnly] { RunTest(TestFile, WriteOnly); };
  RunOperation(Sender, Test);
}

void TMainForm::RunTest(const std::string& TestFile, bool WriteOnly) {
  TFactoryRun Run;
  Run.Mode = FState.TestSRAMMode ? TFactoryMode::Sram : TFactoryMode::Rom;
  Run.WriteOnly = WriteOnly;
  Run.TestFile = TestFile;
  Run.OnStage = [this](const char* Stage) { ShowTestState(QString::fromLatin1(Stage), StateColour); };
  // The window's identification: while the test runs it leaves the controls
  // as the run set them, with the clicked button as the Stop button.
  Run.IdentifyChip = [this] { IdentifyChip(); };
  const TFactoryVerdict Verdict = RunFactoryTest(Run, FLink);
  const QColor Colour = Verdict == TFactoryVerdict::Ok       ? PassColour
                        : Verdict == TFactoryVerdict::Failed ? FailColour
                                                             : StateColour;
  ShowTestState(QString::fromLatin1(FactoryVerdictText(Verdict)), Colour);
}

void TMainForm::btnTestFormatClick() {
  // Outside the operation pattern: nothing is greyed out, Operating is left
  // alone, and it may run between two packets of a running test. The format
  // does not look at its packets' results, so it always ends "OK".
  ShowTestState(QString::fromLatin1(FactoryFormattingText), StateColour);
  FormatCard(true, FLink);
  ShowTestState(QStringLiteral("OK"), PassColour);
}

void TMainForm::OpenPortTestWindow() {
  {
    TIOTestForm Form(FLink, this);
    Form.exec();
  }
  // The window took the key events while it was open, so the right Ctrl
  // key may have been let go unseen: with no Ctrl key held any more it
  // counts as released, or the next plain click would open the window again.
  if (!(QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier)) FRightControlDown = false;
}
