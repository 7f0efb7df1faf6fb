// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/card/CardScan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/card/CardLayout.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/link/PlatformErrors.h"
#include "emulator/CableEmulator.h"
#include "tests/support/RecordingFrontEnd.h"

namespace {

class TRecordingList : public TCardRowVector {
public:
  TRecordingFrontEnd* FrontEnd = nullptr;
  void ClearRows() override {
    TCardRowVector::ClearRows();
    FrontEnd->Events.push_back("clear");
  }
};

// The card on its emulated cable, linked and identified as the window does.
class CardScan : public ::testing::Test {
protected:
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TSharedState State;
  TRecordingFrontEnd FrontEnd;
  TLink Link{Port, State, FrontEnd};
  TRecordingList List;

  void SetUp() override {
    List.FrontEnd = &FrontEnd;
    ASSERT_TRUE(Link.Reconnect());
    Link.IdentifyChip();
    ASSERT_EQ(State.CardCapacity, PageSize);
    Cable.EnableLog(true);
  }

  // A header at a flash address: the logo's last four bytes, the title, the
  // ROM-size code; the rest of the block is left as it is.
  void PutHeader(uint32_t Address, const std::string& Title, uint8_t SizeCode) {
    uint8_t* Block = Card.Flash() + Address;
    const uint8_t LogoTail[4] = {0xBB, 0xB9, 0x33, 0x3E};
    std::memcpy(Block + HeaderTailOffset, LogoTail, 4);
    std::memset(Block + HeaderTitleOffset, 0, 16);
    std::memcpy(Block + HeaderTitleOffset, Title.data(), Title.size());
    Block[HeaderRomSizeOffset] = SizeCode;
  }

  // The format's marks: 32 zero bytes at 0x130 of every 32 KiB block of a page.
  void FormatPage(uint32_t Base) {
    for (uint32_t Block = 0; Block < PageSize; Block += 0x8000)
      std::memset(Card.Flash() + Base + Block + HeaderTailOffset, 0, 32);
  }

  std::string Scan() { return ::ScanCardPage(Link, List); }

  // The flash addresses of the probes that went over the wire.
  std::vector<uint32_t> ProbeAddresses() {
    std::vector<uint32_t> Addresses;
    for (const TTransfer& Transfer : Cable.TakeLog()) {
      if (Transfer.In || Transfer.Bytes.size() != 9 || Transfer.Bytes[0] != cmdReadRom) continue;
      EXPECT_EQ(Transfer.Bytes[8] + 256u * Transfer.Bytes[7], HeaderProbeSize);
      Addresses.push_back(uint32_t(Transfer.Bytes[1]) << 24 | uint32_t(Transfer.Bytes[2]) << 16 |
                          uint32_t(Transfer.Bytes[3]) << 8 | Transfer.Bytes[4]);
    }
    return Addresses;
  }
};

TEST_F(CardScan, FormattedPageHasNoGamesAndIsProbedEvery32KiB) {
  FormatPage(0);
  EXPECT_EQ(Scan(), "[0 Game(s) Total, Size: 0K, Free: 32M]");
  EXPECT_TRUE(List.Rows.empty());
  const std::vector<uint32_t> Probes = ProbeAddresses();
  ASSERT_EQ(Probes.size(), 128u);
  for (size_t I = 0; I < Probes.size(); ++I) EXPECT_EQ(Probes[I], I * 0x8000);
  // The busy panel frames the listing, with the one pump after the list is cleared.
  EXPECT_EQ(FrontEnd.Events, (std::vector<std::string>{"show Now loading...", "clear", "pump", "hide"}));
}

TEST_F(CardScan, PackOfMenuAndTwoGamesStridesByTheLastGameFound) {
  PutHeader(0, MenuTitle, 0);
  PutHeader(0x100000, "FIRST GAME", 5);
  PutHeader(0x200000, "SECOND GAME", 5);
  EXPECT_EQ(Scan(), "[2 Game(s) Total, Size: 16M, Free: 16M]");
  ASSERT_EQ(List.Rows.size(), 2u);
  EXPECT_EQ(List.Rows[0].Title, "FIRST GAME");
  EXPECT_EQ(List.Rows[0].SizeText, "8M");
  EXPECT_EQ(List.Rows[0].Offset, 0x100000u);
  EXPECT_EQ(List.Rows[0].Size, 0x100000u);
  EXPECT_EQ(List.Rows[1].Title, "SECOND GAME");
  EXPECT_EQ(List.Rows[1].Offset, 0x200000u);
  // 32 KiB steps up to the first game, then 1 MiB steps.
  const std::vector<uint32_t> Probes = ProbeAddresses();
  ASSERT_EQ(Probes.size(), 35u);
  EXPECT_EQ(Probes[31], 0xF8000u);
  EXPECT_EQ(Probes[32], 0x100000u);
  EXPECT_EQ(Probes[33], 0x200000u);
  EXPECT_EQ(Probes[34], 0x300000u);
}

TEST_F(CardScan, SingleFourMiBGameTakesOneProbe) {
  PutHeader(0, "WHOLE PAGE", 7);
  PutHeader(0x200000, "HIDDEN", 0);   // inside the big game: never looked at
  EXPECT_EQ(Scan(), "[1 Game(s) Total, Size: 32M, Free: 0K]");
  ASSERT_EQ(List.Rows.size(), 1u);
  EXPECT_EQ(List.Rows[0].SizeText, "32M");
  EXPECT_EQ(ProbeAddresses(), std::vector<uint32_t>{0});
}

TEST_F(CardScan, FailedProbeKeepsEarlierRowsAndReportsZeroTotals) {
  PutHeader(0, "ONE", 0);
  PutHeader(0x8000, "TWO", 0);
  PutHeader(0x18000, "FOUR", 0);
  State.Operating = true;
  Cable.UnplugAfter(3 * 2);   // three probes go through, the fourth fails
  TScanTotals Totals;
  EXPECT_EQ(::ScanCardPage(Link, List, &Totals), "[0 Game(s) Total, Size: 0K, Free: 32M]");
  EXPECT_FALSE(Totals.Complete);
  ASSERT_EQ(List.Rows.size(), 2u);
  EXPECT_EQ(List.Rows[1].Title, "TWO");
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: " + std::to_string(kErrNoSuchDevice));
  EXPECT_FALSE(State.Operating);
  EXPECT_FALSE(FrontEnd.BusyShown);
}

TEST_F(CardScan, SecondPageIsProbedFromItsBaseWithPageRelativeRows) {
  PutHeader(0, "ON PAGE ONE", 0);
  PutHeader(0x400000, MenuTitle, 0);
  PutHeader(0x400000 + 0x10000, "ON PAGE TWO", 1);
  State.PageBase = 0x400000;
  EXPECT_EQ(Scan(), "[1 Game(s) Total, Size: 768K, Free: 31M]");
  ASSERT_EQ(List.Rows.size(), 1u);
  EXPECT_EQ(List.Rows[0].Title, "ON PAGE TWO");
  EXPECT_EQ(List.Rows[0].Offset, 0x10000u);
  const std::vector<uint32_t> Probes = ProbeAddresses();
  ASSERT_FALSE(Probes.empty());
  EXPECT_EQ(Probes.front(), 0x400000u);
  EXPECT_EQ(Probes.back(), 0x7F0000u);
}

TEST_F(CardScan, MenuAloneWithUnknownChipShowsNegativeFreeSpace) {
  PutHeader(0, MenuTitle, 0);
  State.CardCapacity = 0;
  EXPECT_EQ(Scan(), "[0 Game(s) Total, Size: 256K, Free: -256K]");
  EXPECT_TRUE(List.Rows.empty());
}

// A header whose ROM-size code no game has is a slot without a game: the
// probes stay on the grid of the last game found, so the games after it are
// still listed.
TEST_F(CardScan, HeaderWithUnknownSizeCodeKeepsTheStride) {
  struct THeader {
    uint32_t Address;
    const char* Title;
    uint8_t Code;
  };
  const struct {
    const char* What;
    std::vector<THeader> Headers;
    std::vector<uint32_t> Listed;   // offsets of the rows
    std::vector<uint32_t> Probes;
  } Cases[] = {
      {"1 MiB games around a code-9 header",
       {{0, "G0", 5}, {0x100000, "BAD", 9}, {0x200000, "G2", 5}, {0x300000, "G3", 5}},
       {0, 0x200000, 0x300000},
       {0, 0x100000, 0x200000, 0x300000}},
      {"code 8 after a 2 MiB game", {{0, "BIG", 6}, {0x200000, "BAD", 8}, {0x208000, "INSIDE", 0}}, {0}, {0, 0x200000}},
      {"code 255 before any game", {{0, "BAD", 0xFF}, {0x8000, "FIRST", 1}, {0x18000, "SECOND", 1}},
       {0x8000, 0x18000},
       {}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    FormatPage(0);
    for (const THeader& H : C.Headers) PutHeader(H.Address, H.Title, H.Code);
    Cable.TakeLog();
    List.Rows.clear();
    Scan();
    std::vector<uint32_t> Listed;
    for (const TCardRow& Row : List.Rows) Listed.push_back(Row.Offset);
    EXPECT_EQ(Listed, C.Listed);
    const std::vector<uint32_t> Probes = ProbeAddresses();
    if (!C.Probes.empty()) {
      EXPECT_EQ(Probes, C.Probes);
    }
    for (uint32_t Probe : Probes) EXPECT_EQ(Probe % 0x8000, 0u) << "probe off the grid at " << Probe;
  }
}

TEST_F(CardScan, TitleRunsToTheFirstZeroByteButNotPastTheBlock) {
  // A title filling its 16 bytes runs on into the bytes after it.
  PutHeader(0, "SIXTEEN CHARS OK", 0);
  Card.Flash()[HeaderTitleOffset + 16] = 'X';
  Card.Flash()[HeaderTitleOffset + 17] = 0;
  // A block with no zero byte from the title on (the size code 1 is part of
  // the run): the title ends with the block.
  PutHeader(0x8000, "", 1);
  std::memset(Card.Flash() + 0x8000 + HeaderTitleOffset, 'A', HeaderRomSizeOffset - HeaderTitleOffset);
  std::memset(Card.Flash() + 0x8000 + HeaderRomSizeOffset + 1, 'A', HeaderProbeSize - HeaderRomSizeOffset - 1);
  Card.Flash()[0x8000 + HeaderProbeSize] = 0;   // the zero a longer read would find
  Scan();
  ASSERT_EQ(List.Rows.size(), 2u);
  EXPECT_EQ(List.Rows[0].Title, "SIXTEEN CHARS OKX");
  EXPECT_EQ(List.Rows[1].Title.size(), HeaderProbeSize - HeaderTitleOffset);
  EXPECT_EQ(List.Rows[1].Title[HeaderRomSizeOffset - HeaderTitleOffset], '\x01');
  EXPECT_EQ(List.Rows[1].Size, 0x10000u);
}

}  // namespace
