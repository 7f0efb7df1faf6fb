// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "core/queue/GameQueue.h"
#include "core/queue/PackImage.h"
#include "core/support/Resources.h"
#include "tests/support/ScriptedFrontEnd.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;
constexpr uint32_t M = 1024 * 1024;

class PackImageTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  TScriptedFrontEnd Front;
  TGameQueue Queue;
  std::vector<std::vector<uint8_t>> Games;   // in the order they were added
  std::vector<std::string> Names;

  void SetUp() override { RegisterTestMenu(); }
  void TearDown() override { ClearRegisteredResources(); }

  void Add(uint32_t Size) {
    const size_t Index = Games.size();
    Games.push_back(MakeGame(Size, "G" + std::to_string(Index), static_cast<uint32_t>(Index) + 1));
    Names.push_back(Dir.File("g" + std::to_string(Index) + ".gb"));
    WriteBytes(Names.back(), Games.back());
    ASSERT_TRUE(Queue.AddGameFile(Names.back(), Front)) << Size;
  }
  const std::vector<uint8_t>& GameOf(const TQueueRow& Row) const {
    return Games[std::find(Names.begin(), Names.end(), Row.FileName) - Names.begin()];
  }

  // Builds the pack and reads the image back from the open file, which has
  // no name; closing it removes it.
  bool Build(std::vector<uint32_t>& Offsets, std::vector<uint8_t>& Image) {
    std::string PackName;
    std::FILE* Pack = nullptr;
    const bool Built = BuildPackImage(Queue.Rows(), Front, PackName, Pack, &Offsets);
    if (Built) {
      EXPECT_NE(Pack, nullptr);
      EXPECT_EQ(PackName, "");
      Image.clear();
      if (Pack) {
        std::rewind(Pack);
        uint8_t Buffer[65536];
        for (size_t Got; (Got = std::fread(Buffer, 1, sizeof Buffer, Pack)) > 0;) Image.insert(Image.end(), Buffer, Buffer + Got);
        std::fclose(Pack);
      }
    }
    return Built;
  }

  // The menu first, every game byte-exact at its offset, zeros elsewhere.
  void ExpectImage(const std::vector<uint32_t>& Offsets, const std::vector<uint8_t>& Image) {
    std::vector<uint8_t> Expected(Image.size(), 0);
    std::copy(MenuImage().begin(), MenuImage().end(), Expected.begin());
    for (size_t I = 0; I < Offsets.size(); ++I) {
      const auto& Game = GameOf(Queue.Rows()[I]);
      ASSERT_LE(Offsets[I] + Game.size(), Expected.size());
      std::copy(Game.begin(), Game.end(), Expected.begin() + Offsets[I]);
    }
    EXPECT_TRUE(Image == Expected);
  }
};

TEST_F(PackImageTest, WorkedExample) {
  for (uint32_t Size : {32 * K, 64 * K, 1 * M, 1 * M}) Add(Size);
  std::vector<uint32_t> Offsets;
  std::vector<uint8_t> Image;
  ASSERT_TRUE(Build(Offsets, Image));
  EXPECT_EQ(Offsets, (std::vector<uint32_t>{32768, 65536, 1048576, 2097152}));
  EXPECT_EQ(Image.size(), 3 * M);
  ExpectImage(Offsets, Image);
  EXPECT_EQ(Queue.QueueCaptionText(), " Ready to burn (Size: 32M, Free: 15M) ");
  EXPECT_EQ(Dir.TempFiles(), 0u);
}

TEST_F(PackImageTest, SevenTimesTheSizeBelowTheEndGoesAtTheEnd) {
  for (int I = 0; I < 14; ++I) Add(32 * K);
  Add(64 * K);
  std::vector<uint32_t> Offsets;
  std::vector<uint8_t> Image;
  ASSERT_TRUE(Build(Offsets, Image));
  ASSERT_EQ(Offsets.size(), 15u);
  for (uint32_t I = 0; I < 14; ++I) EXPECT_EQ(Offsets[I], 32 * K * (I + 1));
  EXPECT_EQ(Offsets[14], 480 * K);
  EXPECT_EQ(Image.size(), 544 * K);
  ExpectImage(Offsets, Image);
}

TEST_F(PackImageTest, PadsAGameOffTheBlockGridToWholeBlocks) {
  // 40000 bytes count as 64 KiB: placed at 64 KiB, and the next game starts
  // on the block grid again, where the listing and the menu look.
  Add(32 * K);
  Add(40000);
  Add(64 * K);
  std::vector<uint32_t> Offsets;
  std::vector<uint8_t> Image;
  ASSERT_TRUE(Build(Offsets, Image));
  EXPECT_EQ(Offsets, (std::vector<uint32_t>{32 * K, 64 * K, 128 * K}));
  EXPECT_EQ(Image.size(), 192 * K);
  ExpectImage(Offsets, Image);
}

TEST_F(PackImageTest, FailsWithoutLeavingAnImage) {
  Add(32 * K);
  Add(64 * K);
  Add(128 * K);
  const std::string Missing = Names[1];
  const struct {
    const char* Name;
    std::function<void()> Spoil, Mend;
    bool SpaceBox;
  } Cases[] = {
      {"menu missing", [] { ClearRegisteredResources(); }, [] { RegisterTestMenu(); }, false},
      {"game gone", [&] { std::filesystem::rename(Missing, Missing + ".x"); },
       [&] { std::filesystem::rename(Missing + ".x", Missing); }, false},
      {"game shorter than queued", [&] { std::filesystem::resize_file(Missing, 40 * K); },
       [&] { WriteBytes(Missing, Games[1]); }, false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Case.Spoil();
    std::vector<uint32_t> Offsets;
    std::vector<uint8_t> Image;
    EXPECT_FALSE(Build(Offsets, Image));
    EXPECT_EQ(Dir.TempFiles(), 0u);
    Case.Mend();
  }
  std::vector<uint32_t> Offsets;
  std::vector<uint8_t> Image;
  EXPECT_TRUE(Build(Offsets, Image));
}

TEST_F(PackImageTest, RefusesALayoutThatRunsPastThePage) {
  // The queue counts 3136 KiB, but the second 1.5 MiB game can only go at
  // 3 MiB, which would end the image 512 KiB into the next page.
  Add(32 * K);
  Add(1536 * K);
  Add(1536 * K);
  std::vector<uint32_t> Offsets;
  std::vector<uint8_t> Image;
  const size_t Boxes = Front.Boxes.size();
  EXPECT_FALSE(Build(Offsets, Image));
  ASSERT_EQ(Front.Boxes.size(), Boxes + 1);
  EXPECT_EQ(Front.Boxes.back().Text, "ROM space not enough!");
  EXPECT_EQ(Dir.TempFiles(), 0u);
}

}  // namespace
