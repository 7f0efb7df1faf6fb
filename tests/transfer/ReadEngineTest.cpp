// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/link/LinkProtocol.h"
#include "core/link/PlatformErrors.h"
#include "core/transfer/ReadEngine.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

class ReadEngineTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  TEmulatedRig Rig;

  void SetUp() override {
    // Every byte of the card tells where it is.
    for (uint32_t A = 0; A < TCard::FlashSize; ++A) Rig.Card.Flash()[A] = static_cast<uint8_t>(A * 7 + (A >> 12));
    for (uint32_t A = 0; A < TCard::SramSize; ++A) Rig.Card.Sram()[A] = static_cast<uint8_t>(A * 13 + (A >> 8));
  }
};

struct TReadCase {
  const char* Name;
  uint32_t PageBase, Start, End;
  uint8_t Code;
  std::vector<uint32_t> Counts;   // the exchanges' byte counts, in order
  int EstimateTexts;              // one per change of the bar position
};

class ReadRangeTest : public ReadEngineTest, public ::testing::WithParamInterface<TReadCase> {};

TEST_P(ReadRangeTest, ReadsTheRangeInPiecesIntoTheFile) {
  const TReadCase& Case = GetParam();
  Rig.State.PageBase = Case.PageBase;
  const std::string File = Dir.File("out.bin");
  WriteBytes(File, std::vector<uint8_t>(100000, 0xEE));   // replaced, not appended to

  ASSERT_TRUE(ReadToFile(Case.Start, Case.End, Case.Code, File, Rig.Link));

  const auto Sent = Rig.Sent();
  ASSERT_EQ(Sent.size(), Case.Counts.size());
  uint32_t Address = Case.PageBase + Case.Start;
  for (size_t I = 0; I < Sent.size(); ++I) {
    EXPECT_EQ(Sent[I].Code, Case.Code);
    EXPECT_EQ(Sent[I].Address, Address) << I;
    EXPECT_EQ(Sent[I].Length, Case.Counts[I]) << I;
    EXPECT_EQ(Sent[I].Bytes, 9u);
    Address += Case.Counts[I];
  }

  const uint8_t* Memory = Case.Code == cmdReadSram ? Rig.Card.Sram() : Rig.Card.Flash();
  const uint32_t From = Case.Code == cmdReadSram ? (Case.PageBase + Case.Start) % TCard::SramSize
                                                 : Case.PageBase + Case.Start;
  const std::vector<uint8_t> Expected(Memory + From, Memory + From + (Case.End - Case.Start));
  EXPECT_TRUE(ReadBytes(File) == Expected);

  const auto& Front = Rig.Front;
  EXPECT_EQ(Front.PanelLog.front(), "Now reading...");
  EXPECT_EQ(Front.CountTexts("Now reading...  Estimate remain time: "), Case.EstimateTexts);
  EXPECT_EQ(Front.Panels[1].rfind("Read complete.  Time used: 00:00:", 0), 0u) << Front.Panels[1];
  EXPECT_EQ(Front.Pumps, 1 + 2 * static_cast<int>(Case.Counts.size()));
  EXPECT_EQ(Front.Bar, 0);
  EXPECT_TRUE(Rig.State.Operating);   // the handler's closing steps clear it
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadRangeTest,
    ::testing::Values(
        // A 32 KiB game at 0x8000 of page 2.
        TReadCase{"GameOnPage2", 0x400000, 0x8000, 0x10000, cmdReadRom, std::vector<uint32_t>(8, 4096), 8},
        TReadCase{"ShortLastPiece", 0, 0, 5000, cmdReadRom, {4096, 904}, 2},
        TReadCase{"Empty", 0, 0x8000, 0x8000, cmdReadRom, {}, 0},
        // Save RAM reads add PageBase too; the save RAM wraps at 128 KiB.
        TReadCase{"SaveRamOnPage2", 0x400000, 0, 0x20000, cmdReadSram, std::vector<uint32_t>(32, 4096), 32},
        // 256 pieces but only 99 new bar positions: the text follows the bar.
        TReadCase{"OneMiB", 0, 0, 0x100000, cmdReadRom, std::vector<uint32_t>(256, 4096), 99}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(ReadEngineTest, StopLeavesTheFileAsItWas) {
  // Pump 1 is the start, then two per piece: pump 6 comes before piece 3.
  Rig.Front.OnPump = [&](int Pump) {
    if (Pump == 6) Rig.State.Operating = false;
  };
  const std::string File = Dir.File("stopped.gb");
  WriteBytes(File, {7, 7, 7});
  EXPECT_FALSE(ReadToFile(0, 0x8000, cmdReadRom, File, Rig.Link));
  EXPECT_EQ(Rig.Sent().size(), 2u);
  EXPECT_EQ(ReadBytes(File), (std::vector<uint8_t>{7, 7, 7}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.File("")), {}), 2) << "a temporary was left";
  EXPECT_EQ(Rig.Front.CountTexts("Read complete."), 0);
  EXPECT_EQ(Rig.Front.Bar, 0);
}

TEST_F(ReadEngineTest, UnplugMidReadReportsAndLeavesNoPartialFile) {
  // Two pieces go through (out and in each), then the third command's reply is lost.
  Rig.Cable.UnplugAfter(5);
  const std::string File = Dir.File("partial.gb");
  TTransferOutcome Outcome;
  EXPECT_FALSE(ReadToFile(0, 0x8000, cmdReadRom, File, Rig.Link, &Outcome));
  EXPECT_EQ(Rig.Front.Panels[1], "Error Code: " + std::to_string(kErrNoSuchDevice));
  EXPECT_FALSE(Rig.State.Operating);
  EXPECT_EQ(Outcome.Reached, 8192u);
  EXPECT_FALSE(std::filesystem::exists(File));
}

TEST_F(ReadEngineTest, FileProblemsEndTheReadWithTheirText) {
  // The file cannot be created: nothing is read, and Operating stays for the
  // handler to clear.
  EXPECT_FALSE(ReadToFile(0, 0x8000, cmdReadRom, Dir.File("no/such/folder.gb"), Rig.Link));
  EXPECT_EQ(Rig.Front.Panels[1], "File create error!");
  EXPECT_TRUE(Rig.Sent().empty());
  EXPECT_TRUE(Rig.State.Operating);

  // A full disk: the first piece does not fit, the read ends there and is
  // not called complete; the next game would not fit either.
  EXPECT_FALSE(ReadToFile(0, 0x8000, cmdReadRom, "/dev/full", Rig.Link));
  EXPECT_EQ(Rig.Front.Panels[1], "File write error!");
  EXPECT_EQ(Rig.Sent().size(), 1u);
  EXPECT_FALSE(Rig.State.Operating);
  EXPECT_EQ(Rig.Front.CountTexts("Read complete."), 0);
}

}  // namespace
