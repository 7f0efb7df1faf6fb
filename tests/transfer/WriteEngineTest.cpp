// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/card/CardLayout.h"
#include "core/link/LinkProtocol.h"
#include "core/link/PlatformErrors.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/WriteEngine.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;
constexpr uint32_t M = 1024 * 1024;
constexpr uint32_t Page2 = 0x400000;

class WriteEngineTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  TEmulatedRig Rig;
  TGameQueue Queue;

  void SetUp() override { RegisterTestMenu(); }
  void TearDown() override { ClearRegisteredResources(); }

  std::string File(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    const std::string Path = Dir.File(Name);
    WriteBytes(Path, Bytes);
    return Path;
  }
  // The packets that went out, split into the format's and the data's: the
  // format's are the ones at 0x130 of a block, where no 32-byte chunk starts.
  struct TSplit {
    std::vector<TEmulatedRig::TSent> Format, Data;
  };
  TSplit Split() {
    TSplit Out;
    for (const auto& Sent : Rig.Sent()) {
      EXPECT_EQ(Sent.Bytes, 41u);
      (Sent.Code == cmdWriteRom && Sent.Address % 0x8000 == 0x130 ? Out.Format : Out.Data).push_back(Sent);
    }
    return Out;
  }
  static void ExpectFormat(const std::vector<TEmulatedRig::TSent>& Format, uint32_t Base, uint32_t Blocks) {
    ASSERT_EQ(Format.size(), Blocks);
    for (uint32_t I = 0; I < Blocks; ++I) {
      EXPECT_EQ(Format[I].Address, Base + I * 0x8000 + 0x130) << I;
      EXPECT_EQ(Format[I].Length, 32u);
    }
  }
  static void ExpectChunks(const std::vector<TEmulatedRig::TSent>& Data, uint8_t Code, uint32_t Base, uint32_t Size) {
    ASSERT_EQ(Data.size(), (Size + 31) / 32);
    for (size_t I = 0; I < Data.size(); ++I) {
      EXPECT_EQ(Data[I].Code, Code);
      EXPECT_EQ(Data[I].Address, Base + 32 * I);
      EXPECT_EQ(Data[I].Length, std::min<uint32_t>(32, Size - 32 * static_cast<uint32_t>(I)));
    }
  }
  bool FlashHolds(uint32_t Address, const std::vector<uint8_t>& Bytes) const {
    return std::equal(Bytes.begin(), Bytes.end(), Rig.Card.Flash() + Address);
  }
};

TEST_F(WriteEngineTest, NamedFileGoesToBareAddressesInChunksOf32) {
  const auto Bytes = MakeGame(100, "", 3);
  Rig.State.PageBase = Page2;   // named files ignore the selected page
  ASSERT_TRUE(WriteImage(File("raw.bin", Bytes), 0, Queue, Rig.Link));
  const auto Sent = Split();
  ExpectFormat(Sent.Format, 0, 128);
  ExpectChunks(Sent.Data, cmdWriteRom, 0, 100);   // Lengths 32, 32, 32, 4 at 0, 32, 64, 96
  EXPECT_TRUE(FlashHolds(0, Bytes));
  EXPECT_EQ(Rig.Front.PanelLog.front(), "Now writting...");
  EXPECT_EQ(Rig.Front.Panels[1].rfind("Write complete.  Time used: ", 0), 0u);
  EXPECT_EQ(Rig.Front.BusyLog, (std::vector<std::string>{"show Now formatting...", "hide"}));
  // Start, format, and two per chunk.
  EXPECT_EQ(Rig.Front.Pumps, 1 + 1 + 2 * 4);
  // The bar shows done / (100 / 100 + 1) and goes back to 0 at the end.
  EXPECT_EQ(Rig.Front.ProgressLog, (std::vector<int>{0, 16, 32, 48, 50, 0}));
  EXPECT_EQ(Rig.Front.CountTexts("Now writting...  Estimate remain time: "), 4);
}

TEST_F(WriteEngineTest, EmptySourceFormatsAndSendsNoData) {
  ASSERT_TRUE(WriteImage(File("empty.bin", {}), 0, Queue, Rig.Link));
  const auto Sent = Split();
  ExpectFormat(Sent.Format, 0, 128);
  EXPECT_TRUE(Sent.Data.empty());
  EXPECT_EQ(Rig.Front.Panels[1].rfind("Write complete.  Time used: ", 0), 0u);
}

TEST_F(WriteEngineTest, WholeFlashImageFormatsThePagesItCovers) {
  // Page 2 holds a game that an image of page 1 must not touch.
  const auto Kept = MakeGame(64 * K, "KEPT", 1);
  std::copy(Kept.begin(), Kept.end(), Rig.Card.Flash() + Page2);
  Rig.State.PageBase = Page2;
  const struct {
    uint32_t Size, FormatBlocks;
  } Cases[] = {{64 * K, 128}, {PageSize + 32 * K, 256}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Size);
    const auto Image = MakeGame(Case.Size, "IMAGE", Case.Size);
    ASSERT_TRUE(WriteImage(File("image.gb", Image), 0, Queue, Rig.Link));
    const auto Sent = Split();
    ExpectFormat(Sent.Format, 0, Case.FormatBlocks);
    ExpectChunks(Sent.Data, cmdWriteRom, 0, Case.Size);
    EXPECT_TRUE(FlashHolds(0, Image));
    if (Case.FormatBlocks == 128) {
      EXPECT_TRUE(FlashHolds(Page2, Kept));
    }
  }
}

TEST_F(WriteEngineTest, SaveFileGoesToSaveRamWithoutFormat) {
  const auto Save = MakeGame(0x20000, "", 5);
  Rig.State.PageBase = Page2;
  ASSERT_TRUE(WriteImage(File("game.sav", Save), cmdWriteSram, Queue, Rig.Link));
  const auto Sent = Split();
  EXPECT_TRUE(Sent.Format.empty());
  EXPECT_TRUE(Rig.Front.BusyLog.empty());
  ExpectChunks(Sent.Data, cmdWriteSram, 0, 0x20000);
  EXPECT_TRUE(std::equal(Save.begin(), Save.end(), Rig.Card.Sram()));
}

TEST_F(WriteEngineTest, TooLargeSourcesAreRefusedBeforeAnythingIsSent) {
  const struct {
    const char* Name;
    uint32_t Size;
    uint8_t Code;
    const char* Text;
  } Cases[] = {
      {"save", 0x20001, cmdWriteSram, "Save file too large!"},
      {"image", 0x800001, 0, "Image file too large!"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Name = Dir.File(Case.Name);
    WriteBytes(Name, {1});
    std::filesystem::resize_file(Name, Case.Size);
    const size_t Boxes = Rig.Front.Boxes.size();
    EXPECT_FALSE(WriteImage(Name, Case.Code, Queue, Rig.Link));
    EXPECT_TRUE(Rig.Sent().empty());
    EXPECT_EQ(Rig.Front.Panels[1], Case.Text);
    ASSERT_EQ(Rig.Front.Boxes.size(), Boxes + 1);
    EXPECT_EQ(Rig.Front.Boxes.back().Caption, "Error");
    EXPECT_FALSE(Rig.State.Operating);
  }
}

TEST_F(WriteEngineTest, SingleQueuedGameGoesToTheSelectedPageAndItsFileStays) {
  const auto Game = MakeGame(64 * K, "SOLO", 7);
  const std::string Name = File("solo.gb", Game);
  ASSERT_TRUE(Queue.AddGameFile(Name, Rig.Front));
  Rig.State.PageBase = Page2;
  // A file dropped during the write joins the queue, not this write.
  const std::string Dropped = File("dropped.gb", MakeGame(32 * K, "LATE", 8));
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 10) Queue.AddGameFile(Dropped, Rig.Front);
  };
  ASSERT_TRUE(WriteImage("", 0, Queue, Rig.Link));
  const auto Sent = Split();
  ExpectFormat(Sent.Format, Page2, 128);
  ExpectChunks(Sent.Data, cmdWriteRom, Page2, 64 * K);
  EXPECT_TRUE(FlashHolds(Page2, Game));
  // 2048 chunks, but the estimate is rebuilt only for the 99 new bar positions.
  EXPECT_EQ(Rig.Front.CountTexts("Now writting...  Estimate remain time: "), 99);
  EXPECT_EQ(Queue.Count(), 2u);
  EXPECT_TRUE(std::filesystem::exists(Name));
  EXPECT_TRUE(std::filesystem::exists(Dropped));
  EXPECT_EQ(Dir.TempFiles(), 0u);
}

TEST_F(WriteEngineTest, QueueProblemsLeaveTheCardAsItWas) {
  const std::string A = File("a.gb", MakeGame(32 * K, "A", 1)), B = File("b.gb", MakeGame(64 * K, "B", 2));
  const auto Remove = [&] { std::filesystem::remove(A); };
  const struct {
    const char* Name;
    std::vector<std::string> Files;   // queued, then the first one is spoilt
    std::function<void()> Spoil;
    const char* Text;
    size_t Boxes;
  } Cases[] = {
      {"single game gone", {A}, Remove, "Open file error!", 0},
      {"pack game gone", {A, B}, Remove, "Create file error!", 0},
      {"nothing queued", {}, [] {}, "Open file error!", 0},
      // Grown past the page since it was queued: it would run into the next page.
      {"single game grown", {A}, [&] { std::filesystem::resize_file(A, PageSize + 1); }, "Open file error!", 1},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    WriteBytes(A, MakeGame(32 * K, "A", 1));
    Queue.RemoveAll();
    for (const auto& Name : Case.Files) ASSERT_TRUE(Queue.AddGameFile(Name, Rig.Front));
    Case.Spoil();
    Rig.Front.Boxes.clear();
    EXPECT_FALSE(WriteImage("", 0, Queue, Rig.Link));
    EXPECT_TRUE(Rig.Sent().empty());
    EXPECT_EQ(Rig.Front.Panels[1], Case.Text);
    EXPECT_EQ(Rig.Front.Boxes.size(), Case.Boxes);
    EXPECT_FALSE(Rig.State.Operating);
    EXPECT_EQ(Dir.TempFiles(), 0u);
  }
  // A named file that cannot be opened: nothing sent, Operating left for the
  // handler to clear.
  EXPECT_FALSE(WriteImage(Dir.File("missing.gb"), 0, Queue, Rig.Link));
  EXPECT_TRUE(Rig.Sent().empty());
  EXPECT_EQ(Rig.Front.Panels[1], "File open error!");
  EXPECT_TRUE(Rig.State.Operating);
}

TEST_F(WriteEngineTest, StopEndsAtAChunkBoundary) {
  const auto Image = MakeGame(32 * K, "STOP", 9);
  // Pumps: 1 start, 2 format, then 3 + 2k before chunk k + 1.
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 3 + 2 * 10) Rig.State.Operating = false;
  };
  EXPECT_FALSE(WriteImage(File("image.gb", Image), 0, Queue, Rig.Link));
  const auto Sent = Split();
  EXPECT_EQ(Sent.Data.size(), 10u);
  EXPECT_TRUE(FlashHolds(0, std::vector<uint8_t>(Image.begin(), Image.begin() + 320)));
  EXPECT_EQ(Rig.Card.Flash()[320], 0xFF);
  EXPECT_EQ(Rig.Front.CountTexts("Write complete."), 0);
  EXPECT_EQ(Rig.Front.Bar, 0);
}

TEST_F(WriteEngineTest, MidWriteFailuresEndTheWrite) {
  // Larger than any read-ahead of the file, so the shrinking shows.
  const auto Image = MakeGame(1 * M, "FAIL", 10);
  const std::string Name = File("image.gb", Image);

  // The cable goes away after the format and 20 data packets.
  Rig.Cable.UnplugAfter(128 + 20);
  EXPECT_FALSE(WriteImage(Name, 0, Queue, Rig.Link));
  EXPECT_EQ(Rig.Front.Panels[1], "Error Code: " + std::to_string(kErrNoSuchDevice));
  EXPECT_FALSE(Rig.State.Operating);
  Rig.Cable.TakeLog();
  Rig.Cable.Plug();
  Rig.Link.Reconnect();

  // The source shrinks under the write: the chunks it no longer has are not
  // made up from stale bytes; what was sent is the file as it was read.
  Rig.Front.Pumps = 0;
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 3 + 2 * 5) std::filesystem::resize_file(Name, 100);
  };
  EXPECT_FALSE(WriteImage(Name, 0, Queue, Rig.Link));
  EXPECT_EQ(Rig.Front.Panels[1], "File read error!");
  EXPECT_FALSE(Rig.State.Operating);
  const size_t Sent = Split().Data.size();
  EXPECT_LT(Sent, Image.size() / 32);
  EXPECT_TRUE(FlashHolds(0, std::vector<uint8_t>(Image.begin(), Image.begin() + 32 * Sent)));
}

TEST_F(WriteEngineTest, FormatClearsTheHeaderAreaOfEveryBlock) {
  const struct {
    bool WholeChip;
    uint32_t PageBase, Base, Blocks;
  } Cases[] = {{false, 0, 0, 128}, {false, Page2, Page2, 128}, {true, Page2, 0, 256}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Blocks);
    Rig.State.PageBase = Case.PageBase;
    Rig.State.Operating = false;
    FormatCard(Case.WholeChip, Rig.Link);
    const auto Sent = Split();
    ExpectFormat(Sent.Format, Case.Base, Case.Blocks);
    EXPECT_TRUE(Sent.Data.empty());
    for (uint32_t Block = 0; Block < Case.Blocks; ++Block)
      ASSERT_TRUE(FlashHolds(Case.Base + Block * 0x8000 + 0x130, std::vector<uint8_t>(32, 0)));
    EXPECT_FALSE(Rig.State.Operating);   // a format neither sets nor needs it
  }
}

}  // namespace
