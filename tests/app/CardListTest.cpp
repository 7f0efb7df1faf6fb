// The card list in the window: the page choice, the rows' data, the list
// kept without a link, a double-click that reads.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

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

  Form.cbPart->setCurrentIndex(1);
  EXPECT_EQ(Form.State().PageBase, 0x400000u);
  const std::vector<uint32_t> Probes = Rig.ProbeAddresses();
  ASSERT_FALSE(Probes.empty());
  EXPECT_EQ(Probes.front(), 0x400000u);
  EXPECT_EQ(Form.gbCardInfo->title(), " Card Information [1 Game(s) Total, Size: 768K, Free: 31M] ");
  ASSERT_EQ(Form.lvCardRom->topLevelItemCount(), 1);
  const TCardRow Row = TMainForm::CardRowOf(Form.lvCardRom->topLevelItem(0));
  EXPECT_EQ(Row.Title, "SECOND PAGE");
  EXPECT_EQ(Row.SizeText, "512K");
  EXPECT_EQ(Row.Offset, 0x10000u);
  EXPECT_EQ(Row.Size, 0x10000u);
  EXPECT_EQ(Form.lvCardRom->topLevelItem(0)->text(1), "512K");

  Form.cbPart->setCurrentIndex(0);
  EXPECT_EQ(Form.State().PageBase, 0u);
  EXPECT_EQ(Rig.ProbeAddresses(), std::vector<uint32_t>{0});

  // Without a link nothing is probed and the last rows stay.
  Rig.Cable.Unplug();
  Rig.Port.PollDeviceEvents();
  Rig.SentCodes();
  Form.btnRefresh->click();
  EXPECT_EQ(Rig.SentCodes(), "");
  EXPECT_EQ(Form.gbCardInfo->title(), " Card Information ");
  EXPECT_EQ(Form.lvCardRom->topLevelItemCount(), 1);
}

TEST(CardList, PageChangeDuringTheListingsPumpListsTheNewPageOnce) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  Rig.PutGame(0x400000, "OTHER PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Rig.SentCodes();
  // Runs inside the one pump of the listing the refresh starts.
  QTimer::singleShot(0, &Form, [&] { Form.cbPart->setCurrentIndex(1); });
  Form.btnRefresh->click();
  ASSERT_EQ(Form.lvCardRom->topLevelItemCount(), 1);
  EXPECT_EQ(Form.lvCardRom->topLevelItem(0)->text(0), "OTHER PAGE");
  EXPECT_EQ(Rig.ProbeAddresses().back(), 0x400000u);
}

TEST(CardList, DoubleClickOnARowStartsTheRead) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  int Reads = 0;
  Form.SetOperationBody(Form.btnRead, [&] { ++Reads; });
  const QRect Cell = Form.lvCardRom->visualItemRect(Form.lvCardRom->topLevelItem(0));
  QTest::mouseClick(Form.lvCardRom->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
  EXPECT_TRUE(Form.btnRead->isEnabled());   // a selected row and a link
  QTest::mouseDClick(Form.lvCardRom->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
  TWindowRig::Settle();
  EXPECT_EQ(Reads, 1);
}

}  // namespace
