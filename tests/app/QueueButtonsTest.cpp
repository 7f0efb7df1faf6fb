// The queue's buttons and popup menu follow its three actions, and the
// list buttons follow the queue and the link.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include "GameFiles.h"
#include "WindowRig.h"

namespace {

TEST(QueueButtons, FollowTheActionsTheQueueAndTheLink) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  QTreeWidget& Queue = *Form.lvROMs;
  Rig.SentCodes();

  TGameFolder Files;
  Form.AddGameFile(Files.Game("a.gb", "A", 0));
  Form.AddGameFile(Files.Game("b.gb", "B", 1));
  EXPECT_EQ(Rig.SentCodes(), "DD");   // each queue change re-identifies the chip
  EXPECT_FALSE(Form.BitBtn3->isEnabled());
  EXPECT_FALSE(Form.Remove1->isEnabled());
  EXPECT_TRUE(Form.BitBtn4->isEnabled());
  EXPECT_TRUE(Form.RemoveAll1->isEnabled());
  EXPECT_TRUE(Form.btnWrite->isEnabled());

  Queue.topLevelItem(0)->setSelected(true);
  EXPECT_TRUE(Form.BitBtn3->isEnabled());
  EXPECT_TRUE(Form.Remove1->isEnabled());
  Form.BitBtn3->click();   // runs RemoveMenu
  ASSERT_EQ(Queue.topLevelItemCount(), 1);
  EXPECT_EQ(Queue.topLevelItem(0)->text(1), "B");
  EXPECT_FALSE(Form.BitBtn3->isEnabled());

  Form.RemoveAll1->trigger();   // the popup menu's item runs RemoveAllMenu
  EXPECT_EQ(Queue.topLevelItemCount(), 0);
  EXPECT_FALSE(Form.BitBtn4->isEnabled());
  EXPECT_FALSE(Form.btnWrite->isEnabled());

  // A double-click on the queue with nothing selected asks for games.
  QSignalSpy Add(Form.AddMenu, &QAction::triggered);
  QTest::mouseDClick(Queue.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
  TWindowRig::Settle();
  EXPECT_EQ(Add.count(), 1);

  // Without a link the queue can be emptied only row by row, and not written.
  Form.AddGameFile(Files.Game("c.gb", "C", 0));
  Rig.Cable.Unplug();
  Rig.Port.PollDeviceEvents();
  EXPECT_FALSE(Form.RemoveAllMenu->isEnabled());
  EXPECT_FALSE(Form.btnWrite->isEnabled());
}

}  // namespace
