// SPDX-License-Identifier: GPL-3.0-or-later
// The card list in the window: the page choice, the rows' data, the list
// kept without a link, a double-click that reads.
#include <gtest/gtest.h>


#include "WindowRig.h"

namespace {

TEST(CardList, PageChoiceRescansFromThePageBaseWithPageRelativeRows) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  Rig.PutGame(0x400000, "VA16Z", 0);
  Rig.PutGame(0x400000 + 0x10000, "SECOND PAGE", 1);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Rig.SentCodes();

  Rig.Binding.UserChoose(*Form.cbPart, 1);
  EXPECT_EQ(Form.State().PageBase, 0x400000u);
  const std::vector<uint32_t> Probes = Rig.ProbeAddresses();
  ASSERT_FALSE(Probes.empty());
  EXPECT_EQ(Probes.front(), 0x400000u);
  EXPECT_EQ(Form.gbCardInfo->Caption(), " Card Information [1 Game(s) Total, Size: 768K, Free: 31M] ");
  ASSERT_EQ(Form.lvCardRom->RowCount(), 1);
  const TCardRow Row = TMainForm::CardRowOf(Form.lvCardRom->Row(0));
  EXPECT_EQ(Row.Title, "SECOND PAGE");
  EXPECT_EQ(Row.SizeText, "512K");
  EXPECT_EQ(Row.Offset, 0x10000u);
  EXPECT_EQ(Row.Size, 0x10000u);
  EXPECT_EQ(TWindowRig::Cell(*Form.lvCardRom, 0, 1), "512K");

  Rig.Binding.UserChoose(*Form.cbPart, 0);
  EXPECT_EQ(Form.State().PageBase, 0u);
  EXPECT_EQ(Rig.ProbeAddresses(), std::vector<uint32_t>{0});

  // Without a link nothing is probed and the last rows stay.
  Rig.Cable.Unplug();
  Rig.Port.PollDeviceEvents();
  Rig.SentCodes();
  Form.btnRefresh->Click();
  EXPECT_EQ(Rig.SentCodes(), "");
  EXPECT_EQ(Form.gbCardInfo->Caption(), " Card Information ");
  EXPECT_EQ(Form.lvCardRom->RowCount(), 1);
}

TEST(CardList, PageChangeDuringTheListingsPumpListsTheNewPageOnce) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  Rig.PutGame(0x400000, "OTHER PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Rig.SentCodes();
  // Runs inside the one pump of the listing the refresh starts.
  Rig.Binding.Post([&] { Rig.Binding.UserChoose(*Form.cbPart, 1); });
  Form.btnRefresh->Click();
  ASSERT_EQ(Form.lvCardRom->RowCount(), 1);
  EXPECT_EQ(TWindowRig::Cell(*Form.lvCardRom, 0, 0), "OTHER PAGE");
  EXPECT_EQ(Rig.ProbeAddresses().back(), 0x400000u);
}

TEST(CardList, DoubleClickOnARowStartsTheRead) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  int Reads = 0;
  Form.SetOperationBody(Form.btnRead, [&] { ++Reads; });
  Rig.Binding.UserSelectRow(*Form.lvCardRom, 0);
  EXPECT_TRUE(Form.btnRead->Enabled());   // a selected row and a link
  Rig.Binding.UserDblClickRow(*Form.lvCardRom, 0);
  Rig.Settle();
  EXPECT_EQ(Reads, 1);
}

}  // namespace
