// Start-up: the window connects when shown, lists the page again once idle,
// and shows whether the card can be used.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "WindowRig.h"
#include "app/support/AALabel.h"
#include "app/support/ClickImage.h"
#include "app/support/Panel.h"

namespace {

struct TStartCase {
  const char* Name;
  bool Plugged;
  uint16_t ChipId;
  const char* Panel0;
  const char* Hint;
  bool LinkOpen;
  bool Usable;                 // pMain and the operation buttons enabled
  const char* Codes;           // 'D' then a listing, twice: at the show and once idle
  const char* CardCaption;
};

const TStartCase StartCases[] = {
    {"EmulatedCable", true, 0x8917, "Device Connected", "8917=E28F640J3A", true, true, "DPP",
     " Card Information [1 Game(s) Total, Size: 32M, Free: 0K] "},
    {"NoCable", false, 0x8917, "Device Disconnected", "", false, false, "", " Card Information "},
    // The link is open, but a chip the program does not know looks like no cable.
    {"UnknownChip", true, 0x1789, "Device Disconnected", "", true, false, "DPP",
     " Card Information [1 Game(s) Total, Size: 32M, Free: -32768K] "},
};

class StartUp : public ::testing::TestWithParam<TStartCase> {};

TEST_P(StartUp, ConnectsListsAndShowsTheCardState) {
  const TStartCase& Case = GetParam();
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);   // one probe per listing
  Rig.Card.SetChipId(Case.ChipId);
  if (!Case.Plugged) Rig.Cable.Unplug();
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;

  EXPECT_EQ(Rig.SentCodes(), Case.Codes);
  EXPECT_EQ(Form.windowTitle(), "Flashquill (Ver:1.0.3)");
  EXPECT_EQ(Rig.Panel(0), Case.Panel0);
  EXPECT_EQ(Rig.Panel(1), "");
  EXPECT_EQ(Form.AALabel1->toolTip().toStdString(), Case.Hint);
  EXPECT_EQ(Form.Link().LinkHandle() != 0, Case.LinkOpen);
  EXPECT_EQ(Form.imgConnect->isVisible(), Case.LinkOpen);
  EXPECT_EQ(Form.gbCardInfo->title().toStdString(), Case.CardCaption);
  EXPECT_EQ(Form.State().CardCapacity, Case.Usable ? 0x400000u : 0u);
  EXPECT_FALSE(Form.pFindGame->isVisible());

  EXPECT_EQ(Form.pMain->isEnabled(), Case.Usable);
  for (QPushButton* Button : Form.OperationButtons()) {
    // With an empty queue and no card row selected, Write and Read stay off.
    const bool Expected = Case.Usable && Button != Form.btnWrite && Button != Form.btnRead;
    EXPECT_EQ(Button->isEnabled(), Expected) << Button->objectName().toStdString();
  }
  EXPECT_EQ(Form.lvCardRom->topLevelItemCount(), Case.LinkOpen ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Window, StartUp, ::testing::ValuesIn(StartCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(Layout, FixedSizeControlsNamedAndPlacedAsTheWindowNeedsThem) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  EXPECT_EQ(Form.size(), QSize(504, 449));
  EXPECT_EQ(Form.minimumSize(), Form.maximumSize());
  EXPECT_FALSE(Form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(Form.windowFlags() & Qt::WindowMinimizeButtonHint);

  // Found by name, as the tests of later operations find them.
  for (const char* Name : {"AALabel1", "imgConnect", "pMain", "gbWrite", "Label2", "cbPart", "lvROMs", "btnAdd",
                           "BitBtn3", "BitBtn4", "ProgressBar", "gbCardInfo", "lvCardRom", "pFindGame",
                           "btnRefresh", "btnWrite", "btnWriteSRAM", "btnRead", "btnReadSRAM", "btnEraseChip",
                           "gbAdvance", "Label3", "cbSize", "Label1", "Edit1", "btnReadB", "Label4", "edWriteAll",
                           "btnWriteAllB", "btnReadAll", "btnWriteAll", "gbTest", "labCheckSRAM", "Label5",
                           "edTestSRAM", "BitBtn1", "btnTestWrite", "btnTestFormat", "btnTestSRAM", "StatusBar"})
    EXPECT_NE(Form.findChild<QWidget*>(QString::fromLatin1(Name)), nullptr) << Name;

  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable.
  for (QPushButton* Button : Form.OperationButtons()) EXPECT_EQ(Button->parentWidget(), &Form);
  EXPECT_TRUE(Form.gbAdvance->isHidden());
  EXPECT_TRUE(Form.gbTest->isHidden());
  EXPECT_TRUE(Form.btnRefresh->isHidden());
  // A recognised chip selects the whole chip as the advanced read size.
  EXPECT_EQ(Form.cbSize->currentIndex(), 8);
  // The status panels: 110 pixels (more if the font needs it to show the
  // state whole), then the rest of the bar.
  EXPECT_GE(Form.StatusPanel0->width(), 110);
  EXPECT_GE(Form.StatusPanel0->contentsRect().width(),
            Form.StatusPanel0->fontMetrics().horizontalAdvance("Device Disconnected"));
  EXPECT_GT(Form.StatusPanel1->width(), 300);
}

}  // namespace

namespace {

TEST(Layout, GreyedOutPanelShowsItsEditLikeControlsOnTheButtonFace) {
  TWindowRig Rig;
  Rig.Cable.Unplug();
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  const QPalette System = QApplication::palette();
  auto Background = [](QWidget* Control) { return Control->palette().color(QPalette::Base); };
  // Down to the controls inside the boxes inside the panel.
  for (QWidget* Control : {static_cast<QWidget*>(Form.lvROMs), static_cast<QWidget*>(Form.lvCardRom),
                           static_cast<QWidget*>(Form.cbPart)}) {
    EXPECT_FALSE(Control->isEnabled());
    EXPECT_EQ(Background(Control), System.color(QPalette::Button));
  }
  EXPECT_FALSE(Form.Label2->isEnabled());
  Rig.Cable.Plug();
  Rig.Port.PollDeviceEvents();
  ASSERT_EQ(Rig.Panel(0), "Device Connected");
  for (QWidget* Control : {static_cast<QWidget*>(Form.lvROMs), static_cast<QWidget*>(Form.cbPart)}) {
    EXPECT_TRUE(Control->isEnabled());
    EXPECT_EQ(Background(Control), System.color(QPalette::Base));
  }
}

}  // namespace
