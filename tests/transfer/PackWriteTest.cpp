// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/card/CardScan.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/WriteEngine.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;
constexpr uint32_t M = 1024 * 1024;

class PackWriteTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  TEmulatedRig Rig;
  TGameQueue Queue;

  void SetUp() override {
    RegisterTestMenu();
    Rig.Link.IdentifyChip();
  }
  void TearDown() override { ClearRegisteredResources(); }

  // Queues the worked example's four games A, B, C, D, with bodies that
  // differ per Round. Of two games of one size the one added last goes
  // first, so D is added before C.
  std::vector<std::vector<uint8_t>> QueueFour(uint32_t Round) {
    std::vector<std::vector<uint8_t>> Games;
    const uint32_t Sizes[] = {32 * K, 64 * K, 1 * M, 1 * M};
    for (uint32_t I = 0; I < 4; ++I) Games.push_back(MakeGame(Sizes[I], std::string(1, char('A' + I)), Round * 10 + I));
    Queue.RemoveAll();
    for (uint32_t I : {0, 1, 3, 2}) {
      const std::string Name = Dir.File(std::string(1, char('a' + I)) + ".gb");
      WriteBytes(Name, Games[I]);
      EXPECT_TRUE(Queue.AddGameFile(Name, Rig.Front));
    }
    EXPECT_EQ(Queue.Rows()[2].Title, "C");
    return Games;
  }

  // Lists the page and reads every game back into a file.
  void ExpectOnCard(const std::vector<std::vector<uint8_t>>& Games) {
    TCardRowVector List;
    TScanTotals Totals;
    const std::string Summary = ScanCardPage(Rig.Link, List, &Totals);
    EXPECT_EQ(Summary, "[4 Game(s) Total, Size: 17M, Free: 15M]");
    ASSERT_EQ(List.Rows.size(), 4u);
    const uint32_t Offsets[] = {32768, 65536, 1048576, 2097152};
    for (size_t I = 0; I < 4; ++I) {
      SCOPED_TRACE(I);
      EXPECT_EQ(List.Rows[I].Title, std::string(1, char('A' + I)));
      EXPECT_EQ(List.Rows[I].Offset, Offsets[I]);
      const std::string Back = Dir.File("back" + std::to_string(I) + ".gb");
      ASSERT_TRUE(ReadToFile(List.Rows[I].Offset, List.Rows[I].Offset + List.Rows[I].Size, cmdReadRom, Back, Rig.Link));
      EXPECT_TRUE(ReadBytes(Back) == Games[I]);
    }
  }
};

TEST_F(PackWriteTest, WorkedExampleWrittenListedAndReadBack) {
  const auto First = QueueFour(1);
  ASSERT_TRUE(WriteImage("", 0, Queue, Rig.Link));
  EXPECT_EQ(Dir.TempFiles(), 0u);
  ExpectOnCard(First);

  // Other games over the same page: the blocks are erased as the write
  // reaches them, so no bit of the first write survives. The queue emptied
  // during the write does not keep its pack image alive.
  const auto Second = QueueFour(2);
  Rig.Front.Pumps = 0;
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 100) Queue.RemoveAll();
  };
  ASSERT_TRUE(WriteImage("", 0, Queue, Rig.Link));
  Rig.Front.OnPump = nullptr;
  EXPECT_EQ(Dir.TempFiles(), 0u);
  EXPECT_TRUE(Queue.Empty());
  ExpectOnCard(Second);
}

TEST_F(PackWriteTest, PackOnPage2LeavesPage1Alone) {
  const auto Kept = MakeGame(64 * K, "KEPT", 3);
  std::copy(Kept.begin(), Kept.end(), Rig.Card.Flash());
  const auto Games = QueueFour(3);
  Rig.State.PageBase = 0x400000;
  ASSERT_TRUE(WriteImage("", 0, Queue, Rig.Link));
  EXPECT_TRUE(std::equal(Kept.begin(), Kept.end(), Rig.Card.Flash()));
  ExpectOnCard(Games);
}

}  // namespace
