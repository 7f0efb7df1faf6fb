// SPDX-License-Identifier: GPL-3.0-or-later
// The queue's buttons and popup menu follow its three actions, and the
// list buttons follow the queue and the link.
#include <gtest/gtest.h>


#include "GameFiles.h"
#include "WindowRig.h"

namespace {

TEST(QueueButtons, FollowTheActionsTheQueueAndTheLink) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  TListView& Queue = *Form.lvROMs;
  Rig.SentCodes();

  TGameFolder Files;
  Form.AddGameFile(Files.Game("a.gb", "A", 0));
  Form.AddGameFile(Files.Game("b.gb", "B", 1));
  EXPECT_EQ(Rig.SentCodes(), "DD");   // each queue change re-identifies the chip
  EXPECT_FALSE(Form.BitBtn3->Enabled());
  EXPECT_FALSE(Form.Remove1->Enabled());
  EXPECT_TRUE(Form.BitBtn4->Enabled());
  EXPECT_TRUE(Form.RemoveAll1->Enabled());
  EXPECT_TRUE(Form.btnWrite->Enabled());

  Queue.SetSelected(0, true);
  EXPECT_TRUE(Form.BitBtn3->Enabled());
  EXPECT_TRUE(Form.Remove1->Enabled());
  Form.BitBtn3->Click();   // runs RemoveMenu
  ASSERT_EQ(Queue.RowCount(), 1);
  EXPECT_EQ(TWindowRig::Cell(Queue, 0, 1), "B");
  EXPECT_FALSE(Form.BitBtn3->Enabled());

  Rig.Click(Form.RemoveAll1);   // the popup menu's item runs RemoveAllMenu
  EXPECT_EQ(Queue.RowCount(), 0);
  EXPECT_FALSE(Form.BitBtn4->Enabled());
  EXPECT_FALSE(Form.btnWrite->Enabled());

  // A double-click on the queue with nothing selected asks for games.
  const size_t Asked = Rig.Dialogs.Filters.size();
  Rig.Binding.UserDblClick(Queue);
  Rig.Settle();
  EXPECT_EQ(Rig.Dialogs.Filters.size(), Asked + 1);

  // Without a link the queue can be emptied only row by row, and not written.
  Form.AddGameFile(Files.Game("c.gb", "C", 0));
  Rig.Cable.Unplug();
  Rig.Port.PollDeviceEvents();
  EXPECT_FALSE(Form.RemoveAllMenu.Enabled());
  EXPECT_FALSE(Form.btnWrite->Enabled());
}

}  // namespace
