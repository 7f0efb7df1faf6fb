// The keys and clicks of the window: Esc, the hidden "kvq" sequence, the
// factory test modes from the first argument, the right-Ctrl click.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "WindowRig.h"
#include "app/support/ClickImage.h"

namespace {

struct TKeysCase {
  const char* Typed;
  bool Opens;
};

// A wrong key starts the count again without being taken as a first letter.
const TKeysCase KeysCases[] = {
    {"kvq", true},
    {"xkvq", true},     // a wrong key, then the whole sequence
    {"kkkvq", true},    // the second k resets, the next three match
    {"kkvq", false},    // the second k resets and is not a new start
    {"kvkvq", false},   // likewise after two letters
    {"KVQ", false},     // case counts
    {"kv", false},
    {"kvqkv", true},    // opened after the first three; the count starts again
};

TEST(Keys, HiddenSequenceOpensTheAdvancedPanel) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  for (const TKeysCase& Case : KeysCases) {
    SCOPED_TRACE(Case.Typed);
    Form.gbAdvanceDblClick();
    Form.KeySeqIndex = 1;
    QTest::keyClicks(&Form, QString::fromLatin1(Case.Typed));
    EXPECT_EQ(!Form.gbAdvance->isHidden(), Case.Opens);
    EXPECT_EQ(!Form.btnReadAll->isHidden(), Case.Opens);
    EXPECT_EQ(!Form.btnWriteAll->isHidden(), Case.Opens);
  }
  // Typed into a control that passes letters on to its parents, each key
  // still counts once.
  Form.gbAdvanceDblClick();
  Form.KeySeqIndex = 1;
  QTest::keyClicks(Form.btnReadSRAM, QStringLiteral("kvq"));
  EXPECT_FALSE(Form.gbAdvance->isHidden());

  // A double-click on the panel hides it again.
  Form.ShowAdvancePanel();
  QTest::mouseDClick(Form.gbAdvance, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
  EXPECT_TRUE(Form.gbAdvance->isHidden());
  EXPECT_TRUE(Form.btnReadAll->isHidden());
}

struct TModeCase {
  std::vector<std::string> Arguments;
  bool Rom, Sram;
  const char* TestCaption;   // of gbTest, when shown
};

// Only the whole first argument, lower-cased, chooses a mode.
const TModeCase ModeCases[] = {
    {{"/ROM"}, true, false, "Test ROM"},
    {{"/sram", "--emulate"}, false, true, "Test SRAM"},
    {{"/Sram"}, false, true, "Test SRAM"},
    {{"/rom2"}, false, false, ""},
    {{"/ro"}, false, false, ""},
    {{"x", "/rom"}, false, false, ""},
    {{}, false, false, ""},
};

TEST(Keys, FirstArgumentChoosesTheFactoryTestMode) {
  for (const TModeCase& Case : ModeCases) {
    SCOPED_TRACE(Case.Arguments.empty() ? std::string("(none)") : Case.Arguments.front());
    TWindowRig Rig;
    Rig.PutGame(0, "WHOLE PAGE", 7);
    ASSERT_TRUE(Rig.Start(Case.Arguments));
    TMainForm& Form = *Rig.Form;
    EXPECT_EQ(Form.State().TestROMMode, Case.Rom);
    EXPECT_EQ(Form.State().TestSRAMMode, Case.Sram);
    const bool Test = Case.Rom || Case.Sram;
    EXPECT_EQ(Form.gbTest->isVisible(), Test);
    EXPECT_EQ(Form.btnTestSRAM->isVisible(), Test);
    EXPECT_EQ(Form.btnTestWrite->isVisible(), Case.Rom);
    EXPECT_EQ(Form.btnTestFormat->isVisible(), Case.Rom);
    if (Test) {
      EXPECT_EQ(Form.gbTest->title().toStdString(), Case.TestCaption);
    }
    // In a test mode the listing of the first idle moment is left out.
    EXPECT_EQ(Rig.SentCodes(), Test ? "DP" : "DPP");
  }
}

TEST(Keys, SequenceTypedIntoTheTestBoxFillsItAndOpensThePanel) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start({"/rom"}));
  TMainForm& Form = *Rig.Form;
  QTest::keyClicks(Form.edTestSRAM, QStringLiteral("kvq"));
  EXPECT_EQ(Form.edTestSRAM->text(), "kvq");
  EXPECT_TRUE(Form.gbAdvance->isVisible());
  // The ROM test keeps the panel once shown.
  Form.gbAdvanceDblClick();
  EXPECT_TRUE(Form.gbAdvance->isVisible());
}

TEST(Keys, EscClosesThroughTheCloseQuery) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  bool VisibleAfterNo = false;
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  Form.SetOperationBody(Form.btnReadSRAM, [&] {
    Form.State().Operating = true;
    QTest::keyClick(Form.lvCardRom, Qt::Key_Escape);
    VisibleAfterNo = Form.isVisible();
    Form.State().Operating = false;
  });
  Form.btnReadSRAM->click();
  EXPECT_TRUE(VisibleAfterNo);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Now operting, cancel it?");
  // Idle: Esc closes at once.
  QTest::keyClick(Form.lvCardRom, Qt::Key_Escape);
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Rig.Dialogs.Messages.size(), 1u);
}

struct TControlCase {
  const char* Name;
  quint32 ScanCode, KeySym;
  bool Release;   // let go before the click
  bool Opens;
};

// Right Ctrl is told from left Ctrl by the platform's key numbers.
const TControlCase ControlCases[] = {
    {"RightHeld", 105, 0xffe4, false, true},
    {"LeftHeld", 37, 0xffe3, false, false},
    {"RightReleased", 105, 0xffe4, true, false},
};

TEST(Keys, ConnectionImageOpensThePortWindowOnlyWithRightCtrl) {
  for (const TControlCase& Case : ControlCases) {
    SCOPED_TRACE(Case.Name);
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    TMainForm& Form = *Rig.Form;
    int Opened = 0;
    Form.OnPortTestWindow = [&] { ++Opened; };
    QKeyEvent Press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, Case.ScanCode, Case.KeySym, 0);
    QApplication::sendEvent(Form.lvCardRom, &Press);
    if (Case.Release) {
      QKeyEvent Release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, Case.ScanCode, Case.KeySym, 0);
      QApplication::sendEvent(Form.lvCardRom, &Release);
    }
    ASSERT_TRUE(Form.imgConnect->isVisible());
    QTest::mouseClick(Form.imgConnect, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Opened, Case.Opens ? 1 : 0);
  }
}

}  // namespace
