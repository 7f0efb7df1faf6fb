// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the window connects when shown, lists the page again once idle,
// and shows whether the card can be used.
#include <gtest/gtest.h>


#include "WindowRig.h"

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
  EXPECT_EQ(Form.Window().Caption(), "Flashquill (Ver:1.0.3)");
  EXPECT_EQ(Rig.Panel(0), Case.Panel0);
  EXPECT_EQ(Rig.Panel(1), "");
  EXPECT_EQ(Form.AALabel1->Hint(), Case.Hint);
  EXPECT_EQ(Form.Link().LinkHandle() != 0, Case.LinkOpen);
  EXPECT_EQ(Form.imgConnect->Visible(), Case.LinkOpen);
  EXPECT_EQ(Form.gbCardInfo->Caption(), Case.CardCaption);
  EXPECT_EQ(Form.State().CardCapacity, Case.Usable ? 0x400000u : 0u);
  EXPECT_FALSE(Form.pFindGame->Visible());

  EXPECT_EQ(Form.pMain->Enabled(), Case.Usable);
  for (TButton* Button : Form.OperationButtons()) {
    // With an empty queue and no card row selected, Write and Read stay off.
    const bool Expected = Case.Usable && Button != Form.btnWrite && Button != Form.btnRead;
    EXPECT_EQ(Button->Enabled(), Expected) << Form.NameOf(Button);
  }
  EXPECT_EQ(Form.lvCardRom->RowCount(), Case.LinkOpen ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Window, StartUp, ::testing::ValuesIn(StartCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(Layout, ControlsNamedAndStartingAsTheWindowNeedsThem) {
  TWindowRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  // Found by name, as the tests of later operations find them.
  for (const char* Name : {"AALabel1", "imgConnect", "pMain", "gbWrite", "Label2", "cbPart", "lvROMs", "btnAdd",
                           "BitBtn3", "BitBtn4", "ProgressBar", "gbCardInfo", "lvCardRom", "pFindGame",
                           "btnRefresh", "btnWrite", "btnWriteSRAM", "btnRead", "btnReadSRAM", "btnEraseChip",
                           "gbAdvance", "Label3", "cbSize", "Label1", "Edit1", "btnReadB", "Label4", "edWriteAll",
                           "btnWriteAllB", "btnReadAll", "btnWriteAll", "gbTest", "labCheckSRAM", "Label5",
                           "edTestSRAM", "BitBtn1", "btnTestWrite", "btnTestFormat", "btnTestSRAM", "StatusBar"})
    EXPECT_NE(Form.FormWindow().Find(Name), nullptr) << Name;

  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable.
  for (TButton* Button : Form.OperationButtons())
    EXPECT_EQ(Rig.Binding.Windows.front()->ParentOf(*Button), nullptr) << Form.NameOf(Button);
  EXPECT_FALSE(Form.gbAdvance->Visible());
  EXPECT_FALSE(Form.gbTest->Visible());
  EXPECT_FALSE(Form.btnRefresh->Visible());
  // A recognised chip selects the whole chip as the advanced read size.
  EXPECT_EQ(Form.cbSize->ItemIndex(), 8);
  EXPECT_EQ(Form.cbSize->Text(), "8192K(8M)");
  EXPECT_EQ(Form.cbPart->Text(), "Page NO. 1 (32M)");
  EXPECT_EQ(Form.btnAdd->Caption(), "&Add");
  EXPECT_EQ(Form.RemoveAll1->Caption(), "Re&move All");
}

TEST(Layout, GreyedOutPanelGreysTheControlsInsideItsBoxes) {
  TWindowRig Rig;
  Rig.Cable.Unplug();
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  // Down to the controls inside the boxes inside the panel.
  for (TControl* Control : {static_cast<TControl*>(Form.lvROMs), static_cast<TControl*>(Form.lvCardRom),
                            static_cast<TControl*>(Form.cbPart), static_cast<TControl*>(Form.Label2)})
    EXPECT_FALSE(Control->Enabled()) << Form.NameOf(Control);
  Rig.Cable.Plug();
  Rig.Port.PollDeviceEvents();
  ASSERT_EQ(Rig.Panel(0), "Device Connected");
  for (TControl* Control : {static_cast<TControl*>(Form.lvROMs), static_cast<TControl*>(Form.cbPart)})
    EXPECT_TRUE(Control->Enabled()) << Form.NameOf(Control);
}

}  // namespace
