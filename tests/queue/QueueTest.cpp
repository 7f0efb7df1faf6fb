// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/queue/GameFileInfo.h"
#include "core/queue/GameQueue.h"
#include "tests/support/ScriptedFrontEnd.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;
constexpr uint32_t M = 1024 * 1024;

class QueueTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  TScriptedFrontEnd Front;
  TGameQueue Queue;
  int Files = 0;

  // A game file of Size bytes; the body is not read by the queue, so it is
  // left sparse.
  std::string Game(uint32_t Size, const std::string& Title = "GAME") {
    const std::string Name = Dir.File("game" + std::to_string(++Files) + ".gb");
    WriteBytes(Name, MakeGame(0x150, Title, Files));
    std::filesystem::resize_file(Name, Size);
    return Name;
  }
  bool RefusedForSpace(size_t BoxesBefore) const {
    return Front.Boxes.size() == BoxesBefore + 1 && Front.Boxes.back().Text == "ROM space not enough!" &&
           Front.Boxes.back().Caption == "Error" && Front.Boxes.back().Flags == 16;
  }
};

struct TSpaceCase {
  const char* Name;
  std::vector<std::pair<uint32_t, bool>> Adds;   // size, accepted
  const char* Caption;                           // after the adds
};

class QueueSpaceTest : public QueueTest, public ::testing::WithParamInterface<TSpaceCase> {};

TEST_P(QueueSpaceTest, AcceptsWhatFitsThePage) {
  const TSpaceCase& Case = GetParam();
  size_t Rows = 0;
  for (const auto& [Size, Accepted] : Case.Adds) {
    const size_t Boxes = Front.Boxes.size();
    EXPECT_EQ(Queue.AddGameFile(Game(Size), Front), Accepted) << Size;
    if (Accepted) {
      ++Rows;
      EXPECT_EQ(Front.Boxes.size(), Boxes);
    } else {
      EXPECT_TRUE(RefusedForSpace(Boxes)) << Size;
    }
    EXPECT_EQ(Queue.Count(), Rows);
  }
  EXPECT_EQ(Queue.QueueCaptionText(), Case.Caption);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueSpaceTest,
    ::testing::Values(
        // Used becomes 4 MiB + 32 KiB once a second game would make a pack.
        TSpaceCase{"FullPageThenNothing", {{4 * M, true}, {32 * K, false}}, " Ready to burn (Size: 32M, Free: 0K) "},
        // The menu counts in front of the second game although Free says 16M.
        TSpaceCase{"TwoHalves", {{2 * M, true}, {2 * M, false}}, " Ready to burn (Size: 32M, Free: 16M) "},
        // Two small games: used 96 KiB, the menu counted once more for the test.
        TSpaceCase{"MenuCountedTwice",
                   {{32 * K, true}, {32 * K, true}, {4 * M - 96 * K, false}, {4 * M - 128 * K, true}},
                   " Ready to burn (Size: 32M, Free: 256K) "},
        TSpaceCase{"TwoSmall", {{32 * K, true}, {32 * K, true}}, " Ready to burn (Size: 32M, Free: 31M) "},
        TSpaceCase{"WorkedExample",
                   {{32 * K, true}, {64 * K, true}, {1 * M, true}, {1 * M, true}},
                   " Ready to burn (Size: 32M, Free: 15M) "},
        TSpaceCase{"Empty", {}, " Ready to burn (Size: 32M, Free: 32M) "}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(QueueTest, InsertsBeforeTheFirstRowOfEqualOrLargerSize) {
  const std::string Older = Game(1 * M), Small = Game(64 * K), Newer = Game(1 * M);
  for (const auto& Name : {Older, Small, Newer}) ASSERT_TRUE(Queue.AddGameFile(Name, Front));
  // The same file twice is queued twice, again in front of its equals.
  ASSERT_TRUE(Queue.AddGameFile(Small, Front));
  std::vector<std::string> Order;
  for (const TQueueRow& Row : Queue.Rows()) Order.push_back(Row.FileName);
  EXPECT_EQ(Order, (std::vector<std::string>{Small, Small, Newer, Older}));
  EXPECT_EQ(Queue.Rows()[0].SizeText, "512K");
  EXPECT_EQ(Queue.Rows()[2].SizeText, "8M");
  EXPECT_EQ(Queue.Rows()[2].Size, 1 * M);
  EXPECT_EQ(Queue.QueueUsedSize(), 2 * M + 128 * K + 32 * K);
}

TEST_F(QueueTest, KeepsTheFullPathOfARelativeName) {
  const std::string Name = Game(32 * K);
  const auto Before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::path(Name).parent_path());
  const bool Added = Queue.AddGameFile(std::filesystem::path(Name).filename().string(), Front);
  std::filesystem::current_path(Before);
  ASSERT_TRUE(Added);
  EXPECT_EQ(Queue.Rows()[0].FileName, Name);
}

TEST_F(QueueTest, TitleEndsAtFirstZeroOrAfterFifteenBytes) {
  ASSERT_TRUE(Queue.AddGameFile(Game(32 * K, "ABCDEFGHIJKLMNOP"), Front));
  ASSERT_TRUE(Queue.AddGameFile(Game(64 * K, "TETRIS"), Front));
  EXPECT_EQ(Queue.Rows()[0].Title, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(Queue.Rows()[1].Title, "TETRIS");
}

TEST_F(QueueTest, RefusesFilesThatAreNoGame) {
  const std::string Empty = Dir.File("empty.gb"), Short = Dir.File("short.gb"), Folder = Dir.File("folder.gb");
  WriteBytes(Empty, {});
  WriteBytes(Short, std::vector<uint8_t>(0x14F, 0x41));
  std::filesystem::create_directory(Folder);
  const struct {
    std::string File;
    std::string Text;
  } Cases[] = {
      {Dir.File("missing.gb"), "File open error!"},
      {Folder, "File open error!"},
      {Empty, "Not a Game Boy game file!"},
      {Short, "Not a Game Boy game file!"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.File);
    const size_t Boxes = Front.Boxes.size();
    EXPECT_FALSE(Queue.AddGameFile(Case.File, Front));
    ASSERT_EQ(Front.Boxes.size(), Boxes + 1);
    EXPECT_EQ(Front.Boxes.back().Text, Case.Text + "\r\n" + Case.File);
    EXPECT_EQ(Front.Boxes.back().Caption, "Error");
    EXPECT_EQ(Front.Boxes.back().Flags, 16);
  }
  EXPECT_TRUE(Queue.Empty());
  // A bare header is enough.
  EXPECT_TRUE(Queue.AddGameFile(Game(0x150, "TINY"), Front));
  EXPECT_EQ(Queue.Rows()[0].Title, "TINY");
}

TEST_F(QueueTest, RemovesSelectedRowsAndTellsTheView) {
  int Changes = 0;
  Queue.OnChange = [&] { ++Changes; };
  const std::string A = Game(32 * K), B = Game(64 * K), C = Game(128 * K);
  for (const auto& Name : {A, B, C}) Queue.AddGameFile(Name, Front);
  EXPECT_EQ(Changes, 3);

  Queue.RemoveRows({});
  EXPECT_EQ(Queue.Count(), 3u);
  Queue.RemoveRows({2, 0, 7});
  ASSERT_EQ(Queue.Count(), 1u);
  EXPECT_EQ(Queue.Rows()[0].FileName, B);
  EXPECT_EQ(Changes, 5);

  Queue.RemoveAll();
  EXPECT_TRUE(Queue.Empty());
  EXPECT_EQ(Changes, 6);
  Queue.RemoveAll();
  EXPECT_EQ(Changes, 6);
  EXPECT_EQ(Queue.QueueCaptionText(), " Ready to burn (Size: 32M, Free: 32M) ");
}

}  // namespace

namespace {

// A file named "g?.gb" is that file, not the first file the name would match
// as a pattern: its place in the pack is its own size.
TEST_F(QueueTest, NameWithWildcardCharactersIsQueuedAtItsOwnSize) {
  const std::string Small = Dir.File("g1.gb");
  WriteBytes(Small, MakeGame(0x150, "SMALL", 1));
  std::filesystem::resize_file(Small, 32 * K);
  const std::string Big = Dir.File("g?.gb");
  WriteBytes(Big, MakeGame(0x150, "BIG", 2));
  std::filesystem::resize_file(Big, 128 * K);
  ASSERT_TRUE(Queue.AddGameFile(Big, Front));
  ASSERT_EQ(Queue.Count(), 1u);
  EXPECT_EQ(Queue.Rows()[0].Size, 128 * K);
  EXPECT_EQ(Queue.Rows()[0].Title, "BIG");
}

}  // namespace
