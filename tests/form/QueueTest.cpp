// SPDX-License-Identifier: GPL-3.0-or-later
// The queue in the window: Add through the dialog, refusals, Remove and
// Remove All, and dropped files; lvROMs shows exactly the queue's rows.
#include <gtest/gtest.h>


#include "GameFiles.h"
#include "WindowRig.h"
#include "tests/support/Wire.h"

namespace {

class Queue : public ::testing::Test {
protected:
  TWindowRig Rig;
  TGameFolder Files;
  void SetUp() override {
    ASSERT_TRUE(Rig.Start());
    Rig.Cable.TakeLog();
  }
  TMainForm& Form() { return *Rig.Form; }
  // The list as rows of "path|title|size text".
  std::vector<std::string> ListRows() {
    std::vector<std::string> Rows;
    for (int I = 0; I < Form().lvROMs->RowCount(); ++I) {
      const TListView::TRow Cells = Form().lvROMs->Row(I);
      Rows.push_back(Cells.at(0) + "|" + Cells.at(1) + "|" + Cells.at(2));
    }
    return Rows;
  }
  std::string Caption() { return Form().gbWrite->Caption(); }
};

TEST_F(Queue, AddAsksForGamesQueuesThemBySizeAndSelectsThePageEvenOnCancel) {
  const std::string Big1 = Files.Game("big1.gb", "BIG ONE", 5, 1);
  const std::string Small = Files.Game("small.gb", "SMALL", 1, 2);
  const std::string Big2 = Files.Game("big2.gb", "BIG TWO", 5, 3);
  Rig.Binding.UserChoose(*Form().cbPart, 1);
  Rig.Cable.TakeLog();

  Rig.Dialogs.OpenAnswers = {{Big1, Small, Big2}};
  Form().btnAdd->Click();
  EXPECT_EQ(Rig.Dialogs.Filters.back(), "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*");
  // Ascending by size; of two equal sizes the one added last comes first.
  EXPECT_EQ(ListRows(), (std::vector<std::string>{Small + "|SMALL|512K", Big2 + "|BIG TWO|8M", Big1 + "|BIG ONE|8M"}));
  EXPECT_EQ(Caption(), " Ready to burn (Size: 32M, Free: 15M) ");   // 4096 - 64 - 2048 - 32 KiB
  std::vector<TSentCommand> Sent = SentCommands(Rig.Cable);
  EXPECT_EQ(CodesOf(Sent), "DDDA");   // one identification per queued row, then the page
  EXPECT_EQ(Sent.back().Address, 0x400000u);

  Rig.Dialogs.OpenAnswers = {{}};
  Form().btnAdd->Click();
  Sent = SentCommands(Rig.Cable);
  EXPECT_EQ(CodesOf(Sent), "A");
  EXPECT_EQ(ListRows().size(), 3u);
}

TEST_F(Queue, RefusedFilesGetABoxAndTheOthersAreStillQueued) {
  const std::string Whole = Files.Game("whole.gb", "WHOLE", 7);
  const std::string Short = Files.Path("short.gb");
  WriteBytes(Short, std::vector<uint8_t>(0x14F, 1));
  const std::string Small = Files.Game("small.gb", "SMALL", 0);
  Rig.Dialogs.OpenAnswers = {{Short, Whole, Small, Files.Path("missing.gb")}};
  Form().btnAdd->Click();

  // The 4 MiB game fills the page: the small one after it no longer fits.
  EXPECT_EQ(ListRows(), std::vector<std::string>{Whole + "|WHOLE|32M"});
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 3u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Not a Game Boy game file!\r\n" + Short);
  EXPECT_EQ(Rig.Dialogs.Messages[1].Text, "ROM space not enough!");
  EXPECT_EQ(Rig.Dialogs.Messages[2].Text, "File open error!\r\n" + Files.Path("missing.gb"));
  for (const auto& Message : Rig.Dialogs.Messages) {
    EXPECT_EQ(Message.Caption, "Error");
    EXPECT_EQ(Message.Flags, 16);
  }
  EXPECT_EQ(Caption(), " Ready to burn (Size: 32M, Free: 0K) ");
}

TEST_F(Queue, RemoveTakesTheSelectedRowsAndRemoveAllTheRest) {
  const std::string A = Files.Game("a.gb", "A", 0, 1);
  const std::string B = Files.Game("b.gb", "B", 1, 2);
  const std::string C = Files.Game("c.gb", "C", 2, 3);
  for (const std::string& File : {A, B, C}) Form().AddGameFile(File);

  Form().RemoveMenuExecute();   // nothing selected: nothing goes
  EXPECT_EQ(ListRows().size(), 3u);
  Form().lvROMs->SetSelected(0, true);
  Form().lvROMs->SetSelected(1, true);
  Form().BitBtn3->Click();
  EXPECT_EQ(ListRows(), std::vector<std::string>{C + "|C|1M"});
  EXPECT_EQ(Form().Queue().Count(), 1u);
  EXPECT_EQ(Caption(), " Ready to burn (Size: 32M, Free: 31M) ");
  EXPECT_FALSE(Form().BitBtn3->Enabled());

  Form().BitBtn4->Click();
  EXPECT_TRUE(ListRows().empty());
  EXPECT_TRUE(Form().Queue().Empty());
  EXPECT_EQ(Caption(), " Ready to burn (Size: 32M, Free: 32M) ");
  EXPECT_FALSE(Form().btnWrite->Enabled());
}

TEST_F(Queue, DroppedFilesAreQueuedWithoutSelectingThePage) {
  const std::string A = Files.Game("a.gb", "DROP A", 1, 1);
  const std::string B = Files.Game("b.gb", "DROP B", 0, 2);
  Form().Window().OnDropFiles({A, B});
  EXPECT_EQ(ListRows(), (std::vector<std::string>{B + "|DROP B|256K", A + "|DROP A|512K"}));
  EXPECT_EQ(CodesOf(SentCommands(Rig.Cable)), "DD");
  EXPECT_TRUE(Form().btnWrite->Enabled());
}

TEST_F(Queue, TitlesShowEveryHeaderByte) {
  // High bytes of a header title are shown one character each.
  Form().AddGameFile(Files.Game("latin.gb", "CAF\xC9 \xFF", 0));
  ASSERT_EQ(Form().lvROMs->RowCount(), 1);
  EXPECT_EQ(TWindowRig::Cell(*Form().lvROMs, 0, 1), "CAFÉ ÿ");
}

}  // namespace
