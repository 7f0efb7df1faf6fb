// SPDX-License-Identifier: GPL-3.0-or-later
// Writing only what differs: a write cut short anywhere and then repaired
// leaves the card as a whole write would, having rewritten only the erase
// blocks that differed; the same pack written again rewrites nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/card/CardLayout.h"
#include "core/card/CardScan.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/Resources.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/WriteRepair.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint32_t K = 1024;
using TFlash = std::vector<uint8_t>;

class WriteRepairTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  void SetUp() override { RegisterTestMenu(); }
  void TearDown() override { ClearRegisteredResources(); }

  // Queues games of these sizes, titled Prefix1, Prefix2, ...
  void Queue(TGameQueue& Queue, TEmulatedRig& Rig, const std::string& Prefix, const std::vector<uint32_t>& Sizes) {
    for (size_t I = 0; I < Sizes.size(); ++I) {
      const std::string Name = Dir.File(Prefix + std::to_string(I + 1) + ".gb");
      if (!std::filesystem::exists(Name))
        WriteBytes(Name, MakeGame(Sizes[I], Prefix + std::to_string(I + 1), static_cast<uint32_t>(Sizes[I] + I)));
      ASSERT_TRUE(Queue.AddGameFile(Name, Rig.Front)) << Name;
    }
  }

  static TFlash Flash(const TEmulatedRig& Rig) { return TFlash(Rig.Card.Flash(), Rig.Card.Flash() + TCard::FlashSize); }

  static std::vector<std::string> Titles(TEmulatedRig& Rig) {
    TCardRowVector Rows;
    ScanCardPage(Rig.Link, Rows);
    std::vector<std::string> Out;
    for (const TCardRow& Row : Rows.Rows) Out.push_back(Row.Title);
    return Out;
  }

  static size_t WritePackets(TEmulatedRig& Rig) {
    size_t Count = 0;
    for (const auto& Sent : Rig.Sent()) Count += Sent.Code == cmdWriteRom;
    return Count;
  }
};

// The old pack the card holds before: larger than the new one, so that its
// headers past the new image must go.
const std::vector<uint32_t> OldPack = {256 * K, 512 * K, 1024 * K};
// The new pack: the menu, then games over two erase blocks and a half, so
// that the last block is only partly the image's.
const std::vector<uint32_t> NewPack = {32 * K, 32 * K, 64 * K, 64 * K, 64 * K};
constexpr uint32_t NewImageSize = 320 * K;
constexpr uint32_t ImageBlocks = 3;

TEST_F(WriteRepairTest, AWriteCutAnywhereIsRepairedToWhatAWholeWriteLeaves) {
  // The card with the old pack, and what a whole write of the new pack over it leaves.
  TFlash Before, Clean;
  std::vector<std::string> CleanTitles;
  size_t CleanPackets = 0;
  {
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    TGameQueue Old, New;
    Queue(Old, Rig, "OLD", OldPack);
    Queue(New, Rig, "NEW", NewPack);
    TCardWriteRequest Request;
    Request.Queue = &Old;
    ASSERT_TRUE(WriteToCard(Request, Rig.Link).Succeeded);
    Before = Flash(Rig);
    Rig.Sent();
    Request.Queue = &New;
    const TCardWriteResult Whole = WriteToCard(Request, Rig.Link);
    ASSERT_TRUE(Whole.Succeeded);
    ASSERT_EQ(Whole.Write.Total, NewImageSize);
    CleanPackets = WritePackets(Rig);
    Clean = Flash(Rig);
    CleanTitles = Titles(Rig);
    ASSERT_EQ(CleanTitles.size(), NewPack.size());
  }

  for (const unsigned Depth : {1u, 16u}) {
    // The format's 128 packets, then the image's; a sample over both.
    const long Packets = static_cast<long>(CleanPackets);
    std::vector<long> Cuts = {1, 64, 127, 128, 129, 130, 200};
    for (int I = 1; I < 16; ++I) Cuts.push_back(128 + (Packets - 128) * I / 16);
    Cuts.push_back(Packets - 1);
    for (const long After : Cuts) {
      SCOPED_TRACE("N=" + std::to_string(Depth) + ", unplugged after " + std::to_string(After));
      TEmulatedRig Rig;
      Rig.Link.Writes().SetDepth(Depth);
      Rig.Link.IdentifyChip();
      std::memcpy(Rig.Card.Flash(), Before.data(), Before.size());
      TGameQueue New;
      Queue(New, Rig, "NEW", NewPack);
      TCardWriteRequest Request;
      Request.Queue = &New;
      Rig.Cable.UnplugAfter(After);
      ASSERT_FALSE(WriteToCard(Request, Rig.Link).Succeeded);
      Rig.Cable.Plug();
      ASSERT_TRUE(Rig.Link.Reconnect());
      Rig.Link.IdentifyChip();

      // What differs now, judged against the whole write.
      const TFlash Cut = Flash(Rig);
      uint32_t Differ = 0, Headers = 0;
      size_t Packets = 0;
      for (uint32_t Block = 0; Block < ImageBlocks; ++Block) {
        const uint32_t At = Block * RepairBlockSize;
        if (std::memcmp(Cut.data() + At, Clean.data() + At, RepairBlockSize) == 0) continue;
        ++Differ;
        Packets += std::min(RepairBlockSize, NewImageSize - At) / LinkWriteChunk;
      }
      // Past the image, a header the listing would still find is cleared as
      // the format clears it; one that shows none already stays as it is.
      TFlash Expected = Clean;
      for (uint32_t At = ImageBlocks * RepairBlockSize + FormatClearOffset; At < 0x400000; At += FormatBlockSize) {
        if (ReadLE32(Cut.data() + At) == HeaderLogoTail)
          ++Headers;
        else
          std::memcpy(Expected.data() + At, Cut.data() + At, LinkWriteChunk);
      }

      Rig.Sent();
      Request.Repair = TRepairMode::On;
      const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
      ASSERT_TRUE(Result.Succeeded) << Result.Outcome;
      EXPECT_TRUE(Result.Verified);
      EXPECT_TRUE(Result.Write.Repair);
      EXPECT_EQ(Result.Write.BlocksCompared, ImageBlocks);
      EXPECT_EQ(Result.Write.BlocksRewritten, Differ);
      EXPECT_EQ(Result.Write.HeadersCleared, Headers);
      EXPECT_EQ(WritePackets(Rig), Packets + Headers) << "only the blocks that differ, and the old headers";
      EXPECT_NE(Result.Outcome.find(std::to_string(Differ) + " of 3 blocks rewritten"), std::string::npos)
          << Result.Outcome;
      EXPECT_TRUE(Flash(Rig) == Expected) << "the card differs from a whole write";
      EXPECT_EQ(Titles(Rig), CleanTitles);
    }
  }
}

// The same pack written again: nothing is rewritten, nothing is cleared,
// not one write packet goes out; the verify still runs. Both depths.
TEST_F(WriteRepairTest, ThePackWrittenTwiceRewritesNothing) {
  for (const unsigned Depth : {1u, 16u}) {
    SCOPED_TRACE("N=" + std::to_string(Depth));
    TEmulatedRig Rig;
    Rig.Link.Writes().SetDepth(Depth);
    Rig.Link.IdentifyChip();
    TGameQueue New;
    Queue(New, Rig, "NEW", NewPack);
    TCardWriteRequest Request;
    Request.Queue = &New;
    ASSERT_TRUE(WriteToCard(Request, Rig.Link).Succeeded);
    const TFlash Once = Flash(Rig);
    Rig.Sent();
    Request.Repair = TRepairMode::On;
    const TCardWriteResult Again = WriteToCard(Request, Rig.Link);
    ASSERT_TRUE(Again.Succeeded) << Again.Outcome;
    EXPECT_TRUE(Again.Verified);
    EXPECT_EQ(Again.Write.BlocksCompared, ImageBlocks);
    EXPECT_EQ(Again.Write.BlocksToRewrite, 0u);
    EXPECT_EQ(Again.Write.HeadersCleared, 0u);
    EXPECT_EQ(WritePackets(Rig), 0u);
    EXPECT_EQ(Again.Outcome.rfind("Write complete.  0 of 3 blocks rewritten.  Time used: ", 0), 0u) << Again.Outcome;
    EXPECT_TRUE(Flash(Rig) == Once);
  }
}

// A stop in the middle of a repair says how far the image's start reaches
// and what is left; a second repair finishes it.
TEST_F(WriteRepairTest, AStoppedRepairSaysWhatItLeftAndIsFinishedByTheNext) {
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  TGameQueue New;
  Queue(New, Rig, "NEW", NewPack);
  TCardWriteRequest Request;
  Request.Queue = &New;
  Request.Repair = TRepairMode::On;
  // Over an erased card every block differs; stopped 5000 packets in (the
  // first block is 4096 packets).
  size_t Packets = 0;
  Rig.Front.OnPump = [&](int) {
    for (const auto& Sent : Rig.Sent()) Packets += Sent.Code == cmdWriteRom;
    if (Packets >= 5000) Rig.State.Operating = false;
  };
  const TCardWriteResult Stopped = WriteToCard(Request, Rig.Link);
  Rig.Front.OnPump = nullptr;
  ASSERT_FALSE(Stopped.Succeeded);
  EXPECT_EQ(Stopped.End, TTransferEnd::Stopped);
  EXPECT_EQ(Stopped.Write.BlocksToRewrite, ImageBlocks);
  EXPECT_EQ(Stopped.Write.BlocksRewritten, 1u);
  EXPECT_GE(Stopped.Write.Reached, RepairBlockSize);
  EXPECT_LT(Stopped.Write.Reached, 2 * RepairBlockSize);
  std::string Report;
  for (const std::string& Line : Stopped.Report) Report += Line + "\n";
  EXPECT_NE(Report.find("1 of the 3 blocks that differed were rewritten, and the image's first " +
                        std::to_string(Stopped.Write.Reached) + " of 327680 bytes are on the card."),
            std::string::npos)
      << Report;
  EXPECT_NE(Report.find("Complete: \"NEW2\", \"NEW1\".\n"), std::string::npos) << Report;
  EXPECT_NE(Report.find("Cut short, will not run: \"NEW5\""), std::string::npos) << Report;

  Rig.Sent();
  const TCardWriteResult Finished = WriteToCard(Request, Rig.Link);
  ASSERT_TRUE(Finished.Succeeded) << Finished.Outcome;
  EXPECT_EQ(Finished.Write.BlocksRewritten, 2u);
  EXPECT_EQ(Titles(Rig).size(), NewPack.size());
}

// A named image goes to bare addresses whatever page is selected: the
// repair compares and writes there too, and clears old headers over the
// page it covers.
TEST_F(WriteRepairTest, ANamedImageIsRepairedAtBareAddresses) {
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  std::vector<uint8_t> Image = MakeGame(192 * K, "RAW", 7);
  WriteBytes(Dir.File("raw.gb"), Image);
  // An old game at 1 MiB of page 1, and the image half there already.
  const std::vector<uint8_t> Old = MakeGame(32 * K, "OLDRAW", 8);
  std::memcpy(Rig.Card.Flash() + 0x100000, Old.data(), Old.size());
  std::memcpy(Rig.Card.Flash(), Image.data(), RepairBlockSize);
  Rig.State.PageBase = 0x400000;   // page 2 selected
  TCardWriteRequest Request;
  Request.Kind = TCardWriteKind::RawImage;
  Request.FileName = Dir.File("raw.gb");
  Request.Repair = TRepairMode::On;
  const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
  ASSERT_TRUE(Result.Succeeded) << Result.Outcome;
  EXPECT_EQ(Result.Write.BlocksCompared, 2u);
  EXPECT_EQ(Result.Write.BlocksRewritten, 1u);
  EXPECT_EQ(Result.Write.HeadersCleared, 1u);
  EXPECT_EQ(Rig.State.PageBase, 0x400000u);
  EXPECT_EQ(std::memcmp(Rig.Card.Flash(), Image.data(), Image.size()), 0);
  for (uint32_t I = Image.size(); I < 2 * RepairBlockSize; ++I) ASSERT_EQ(Rig.Card.Flash()[I], 0xFF) << I;
  Rig.State.PageBase = 0;
  EXPECT_EQ(Titles(Rig), std::vector<std::string>{"RAW"});
}

// Asked: the question comes only where the card already holds the image's
// first block; yes writes only what differs, no formats and writes it all.
TEST_F(WriteRepairTest, TheQuestionComesWhereTheImageHasBegunAndItsAnswerChooses) {
  const struct {
    const char* What;
    bool Begun;      // the card holds the image's first block
    int Answer;
    bool Asked, Repaired;
  } Cases[] = {
      {"erased card", false, MB_RESULT_YES, false, false},
      {"begun, yes", true, MB_RESULT_YES, true, true},
      {"begun, no", true, MB_RESULT_NO, true, false},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    TGameQueue New;
    Queue(New, Rig, "NEW", NewPack);
    TCardWriteRequest Request;
    Request.Queue = &New;
    if (Case.Begun) {
      ASSERT_TRUE(WriteToCard(Request, Rig.Link).Succeeded);
      Rig.Card.EraseBlock(2 * RepairBlockSize);
    }
    Rig.Sent();
    Rig.Front.Boxes.clear();
    Rig.Front.Answers = {Case.Answer};
    Request.Repair = TRepairMode::Ask;
    const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
    ASSERT_TRUE(Result.Succeeded) << Result.Outcome;
    ASSERT_EQ(Rig.Front.Boxes.size(), Case.Asked ? 1u : 0u);
    if (Case.Asked) {
      EXPECT_NE(Rig.Front.Boxes[0].Text.find("\"Page NO. 1 (32M)\" already holds the start of this image"),
                std::string::npos);
      EXPECT_NE(Rig.Front.Boxes[0].Text.find("Write only what differs?"), std::string::npos);
      EXPECT_EQ(Rig.Front.Boxes[0].Flags, MB_FLAGS_QUESTION);
    }
    EXPECT_EQ(Result.Write.Repair, Case.Repaired);
    if (Case.Repaired) {
      EXPECT_EQ(Result.Write.BlocksRewritten, 1u);
    }
    EXPECT_EQ(WritePackets(Rig), Case.Repaired ? 2048u : FormatBlocksPerPage + 10240u);
    EXPECT_EQ(Titles(Rig).size(), NewPack.size());
  }
}

// The cable pulled during the repair itself (its comparison, the old
// headers, the blocks): the link's error and what the card holds are said,
// nothing is claimed that did not reach the card, and the next repair
// finishes the write.
TEST_F(WriteRepairTest, ARepairCutShortIsFinishedByTheNext) {
  TEmulatedRig Probe;
  Probe.Link.IdentifyChip();
  TGameQueue Old, New;
  Queue(Old, Probe, "OLD", OldPack);
  Queue(New, Probe, "NEW", NewPack);
  TCardWriteRequest Request;
  Request.Queue = &Old;
  ASSERT_TRUE(WriteToCard(Request, Probe.Link).Succeeded);
  const TFlash Before = Flash(Probe);
  // How many transfers a repair over the old pack takes, verify included.
  Request.Queue = &New;
  Request.Repair = TRepairMode::On;
  Probe.Cable.TakeLog();
  ASSERT_TRUE(WriteToCard(Request, Probe.Link).Succeeded);
  const long Transfers = static_cast<long>(Probe.Cable.TakeLog().size());
  const TFlash Clean = Flash(Probe);

  for (int I = 1; I < 12; ++I) {
    const long After = Transfers * I / 12;
    SCOPED_TRACE("unplugged after " + std::to_string(After) + " of " + std::to_string(Transfers));
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    std::memcpy(Rig.Card.Flash(), Before.data(), Before.size());
    Rig.Cable.UnplugAfter(After);
    const TCardWriteResult Cut = WriteToCard(Request, Rig.Link);
    ASSERT_FALSE(Cut.Succeeded);
    EXPECT_EQ(Cut.End, TTransferEnd::LinkFailed);
    EXPECT_NE(Cut.Outcome.find("Error Code: "), std::string::npos) << Cut.Outcome;
    EXPECT_FALSE(Rig.State.Operating);
    // The image's start the report claims is on the card.
    EXPECT_EQ(std::memcmp(Rig.Card.Flash(), Clean.data(), Cut.Write.Reached), 0);
    if (Cut.Write.CardTouched) {
      EXPECT_FALSE(Cut.Report.empty());
    }

    Rig.Cable.Plug();
    ASSERT_TRUE(Rig.Link.Reconnect());
    Rig.Link.IdentifyChip();
    const TCardWriteResult Finished = WriteToCard(Request, Rig.Link);
    ASSERT_TRUE(Finished.Succeeded) << Finished.Outcome;
    EXPECT_TRUE(Flash(Rig) == Clean);
  }
}

// A stop while the card is looked at for the question formats nothing.
TEST_F(WriteRepairTest, AStopBeforeTheQuestionWritesNothing) {
  TEmulatedRig Rig;
  Rig.Link.IdentifyChip();
  TGameQueue New;
  Queue(New, Rig, "NEW", NewPack);
  TCardWriteRequest Request;
  Request.Queue = &New;
  ASSERT_TRUE(WriteToCard(Request, Rig.Link).Succeeded);
  const TFlash Before = Flash(Rig);
  Rig.Sent();
  Request.Repair = TRepairMode::Ask;
  bool Reading = false;
  Rig.Front.OnPump = [&](int) {
    for (const auto& Sent : Rig.Sent()) Reading = Reading || Sent.Code == cmdReadRom;
    if (Reading) Rig.State.Operating = false;
  };
  const TCardWriteResult Result = WriteToCard(Request, Rig.Link);
  Rig.Front.OnPump = nullptr;
  EXPECT_FALSE(Result.Succeeded);
  EXPECT_EQ(Result.End, TTransferEnd::Stopped);
  EXPECT_TRUE(Rig.Front.Boxes.empty());
  EXPECT_TRUE(Result.Report.empty()) << "the card is as it was";
  EXPECT_TRUE(Flash(Rig) == Before);
}

}  // namespace
