// SPDX-License-Identifier: GPL-3.0-or-later
// The keys and clicks of the window: Esc, the hidden "kvq" sequence, the
// factory test modes from the first argument, the right-Ctrl click.
#include <gtest/gtest.h>


#include "WindowRig.h"

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
    Rig.Binding.UserType(Form.Window(), Case.Typed);
    EXPECT_EQ(Form.gbAdvance->Visible(), Case.Opens);
    EXPECT_EQ(Form.btnReadAll->Visible(), Case.Opens);
    EXPECT_EQ(Form.btnWriteAll->Visible(), Case.Opens);
  }
  // A double-click on the panel hides it again.
  Form.ShowAdvancePanel();
  Rig.Binding.UserDblClick(*Form.gbAdvance);
  EXPECT_FALSE(Form.gbAdvance->Visible());
  EXPECT_FALSE(Form.btnReadAll->Visible());
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
    EXPECT_EQ(Form.gbTest->Visible(), Test);
    EXPECT_EQ(Form.btnTestSRAM->Visible(), Test);
    EXPECT_EQ(Form.btnTestWrite->Visible(), Case.Rom);
    EXPECT_EQ(Form.btnTestFormat->Visible(), Case.Rom);
    if (Test) {
      EXPECT_EQ(Form.gbTest->Caption(), Case.TestCaption);
    }
    // In a test mode the listing of the first idle moment is left out.
    EXPECT_EQ(Rig.SentCodes(), Test ? "DP" : "DPP");
  }
}

TEST(Keys, SequenceTypedInTheRomTestOpensThePanelForGood) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start({"/rom"}));
  TMainForm& Form = *Rig.Form;
  Rig.Binding.UserType(Form.Window(), "kvq");
  EXPECT_TRUE(Form.gbAdvance->Visible());
  // The ROM test keeps the panel once shown.
  Form.gbAdvanceDblClick();
  EXPECT_TRUE(Form.gbAdvance->Visible());
}

TEST(Keys, EscClosesThroughTheCloseQuery) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  bool VisibleAfterNo = false;
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  Form.SetOperationBody(Form.btnReadSRAM, [&] {
    Form.State().Operating = true;
    Rig.Binding.UserType(Form.Window(), "\x1b");
    VisibleAfterNo = Form.Window().Visible();
    Form.State().Operating = false;
  });
  Form.btnReadSRAM->Click();
  EXPECT_TRUE(VisibleAfterNo);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Now operting, cancel it?");
  // Idle: Esc closes at once.
  Rig.Binding.UserType(Form.Window(), "\x1b");
  EXPECT_FALSE(Form.Window().Visible());
  EXPECT_EQ(Rig.Dialogs.Messages.size(), 1u);
}

struct TControlCase {
  const char* Name;
  bool Press;     // the right Ctrl key went down
  bool Release;   // let go before the click
  bool Opens;
};

// The binding tells the right Ctrl key from the left one; a left Ctrl key
// reaches the form as no right Ctrl at all.
const TControlCase ControlCases[] = {
    {"RightHeld", true, false, true},
    {"LeftHeld", false, false, false},
    {"RightReleased", true, true, false},
};

TEST(Keys, ConnectionImageOpensThePortWindowOnlyWithRightCtrl) {
  for (const TControlCase& Case : ControlCases) {
    SCOPED_TRACE(Case.Name);
    TWindowRig Rig;
    ASSERT_TRUE(Rig.Start());
    TMainForm& Form = *Rig.Form;
    int Opened = 0;
    Form.OnPortTestWindow = [&] { ++Opened; };
    if (Case.Press) Rig.Binding.UserRightControl(Form.Window(), true);
    if (Case.Release) Rig.Binding.UserRightControl(Form.Window(), false);
    ASSERT_TRUE(Form.imgConnect->Visible());
    Rig.Click(Form.imgConnect);
    EXPECT_EQ(Opened, Case.Opens ? 1 : 0);
  }
}

}  // namespace
