// SPDX-License-Identifier: GPL-3.0-or-later
// TLink on the emulated cable: what the program sees of a real one.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/link/PlatformErrors.h"
#include "emulator/CableEmulator.h"
#include "tests/support/TestFrontEnd.h"

namespace {

class LinkEmulatorTest : public ::testing::Test {
protected:
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TSharedState State;
  TTestFrontEnd FrontEnd;
  TLink Link{Port, State, FrontEnd};

  void SetUp() override {
    for (uint32_t I = 0; I < TCard::FlashSize; I += 4096) Card.Flash()[I] = static_cast<uint8_t>(I >> 12);
    Cable.EnableLog(true);
  }
};

}  // namespace

TEST_F(LinkEmulatorTest, KnownChipSetsTheCapacity) {
  ASSERT_TRUE(Link.Reconnect());
  FrontEnd.Panels[1] = "Error Code: 19";
  const TLink::TIdentity Identity = Link.IdentifyChip();
  EXPECT_TRUE(Identity.Asked);
  EXPECT_EQ(Identity.Id, 0x8917);
  ASSERT_NE(Identity.Chip, nullptr);
  EXPECT_STREQ(Identity.Chip->Name, "E28F640J3A");
  EXPECT_EQ(State.CardCapacity, 0x400000u);
  EXPECT_EQ(FrontEnd.Panels[1], "");
}

TEST_F(LinkEmulatorTest, OtherChipLeavesNoCapacity) {
  Card.SetChipId(0x1789);
  ASSERT_TRUE(Link.Reconnect());
  State.CardCapacity = 0x400000;   // from an earlier identification
  const TLink::TIdentity Identity = Link.IdentifyChip();
  EXPECT_TRUE(Identity.Asked);
  EXPECT_EQ(Identity.Id, 0x1789);
  EXPECT_EQ(Identity.Chip, nullptr);
  EXPECT_EQ(State.CardCapacity, 0u);
  EXPECT_NE(Link.LinkHandle(), 0);   // the link stays open
}

TEST_F(LinkEmulatorTest, NoLinkIsNotAsked) {
  Cable.Unplug();
  EXPECT_FALSE(Link.Reconnect());
  EXPECT_EQ(Link.LinkHandle(), 0);
  State.CardCapacity = 0x400000;
  const TLink::TIdentity Identity = Link.IdentifyChip();
  EXPECT_FALSE(Identity.Asked);
  EXPECT_EQ(State.CardCapacity, 0u);

  uint8_t Buffer[512];
  FrontEnd.Panels[1] = "kept";
  EXPECT_FALSE(Link.ReadBlock(0, 512, cmdReadRom, Buffer));
  Link.SelectPage(0x400000);   // attempted, fails quietly
  EXPECT_EQ(FrontEnd.Panels[1], "kept");
  EXPECT_TRUE(Cable.TakeLog().empty());
  EXPECT_EQ(Card.ConsolePageBase(), 0u);
}

TEST_F(LinkEmulatorTest, ReadBlockReadsTheSelectedPage) {
  ASSERT_TRUE(Link.Reconnect());
  const struct {
    uint32_t PageBase;
    int32_t Address;
  } Cases[] = {{0, 0}, {0, 0x3FF000}, {0x400000, 0}, {0x400000, 0x123000}};
  for (const auto& C : Cases) {
    State.PageBase = C.PageBase;
    std::vector<uint8_t> Buffer(4096, 0);
    ASSERT_TRUE(Link.ReadBlock(C.Address, 4096, cmdReadRom, Buffer.data()));
    EXPECT_EQ(0, std::memcmp(Buffer.data(), Card.Flash() + C.PageBase + C.Address, 4096));
  }
  // Save RAM: the read adds the page base as well, and the card's address
  // lines wrap it back into its 128 KiB.
  Card.Sram()[0x10] = 0x5A;
  State.PageBase = 0;
  uint8_t Sram[32];
  ASSERT_TRUE(Link.ReadBlock(0, 32, cmdReadSram, Sram));
  EXPECT_EQ(Sram[0x10], 0x5A);
  const auto Log = Cable.TakeLog();
  for (const TTransfer& T : Log) EXPECT_TRUE(T.In || T.Bytes.size() == 9);
}

TEST_F(LinkEmulatorTest, UnplugDuringAReadStopsIt) {
  ASSERT_TRUE(Link.Reconnect());
  State.Operating = true;
  Cable.UnplugAfter(7);   // three whole blocks, then the fourth command goes
  std::vector<uint8_t> Buffer(4096);
  int Blocks = 0;
  for (int32_t Address = 0; State.Operating && Address < 0x400000; Address += 4096) {
    if (!Link.ReadBlock(Address, 4096, cmdReadRom, Buffer.data())) break;
    ++Blocks;
  }
  EXPECT_EQ(Blocks, 3);
  EXPECT_FALSE(State.Operating);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: " + std::to_string(kErrNoSuchDevice));

  // Still unplugged: the identification fails, reports and is never the chip.
  FrontEnd.Panels[1].clear();
  EXPECT_EQ(Link.ReadChipId(), 0);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: " + std::to_string(kErrNoSuchDevice));
  EXPECT_EQ(Link.IdentifyChip().Chip, nullptr);
  EXPECT_EQ(State.CardCapacity, 0u);

  // Plugged back, the old handle is dead until the link is opened anew.
  Cable.Plug();
  EXPECT_EQ(Link.ReadChipId(), 0);
  ASSERT_TRUE(Link.Reconnect());
  EXPECT_EQ(Link.ReadChipId(), 0x8917);
}

TEST_F(LinkEmulatorTest, ShortReplyFailsTheBlock) {
  ASSERT_TRUE(Link.Reconnect());
  State.Operating = true;
  Cable.ShortReplyOnce(100);
  std::vector<uint8_t> Buffer(512);
  EXPECT_FALSE(Link.ReadBlock(0, 512, cmdReadRom, Buffer.data()));
  EXPECT_FALSE(State.Operating);
  EXPECT_EQ(FrontEnd.Panels[1].rfind("Error Code: ", 0), 0u);
}

TEST_F(LinkEmulatorTest, WritesPortsAndPageReachTheCable) {
  ASSERT_TRUE(Link.Reconnect());
  const uint8_t Values[8] = {0xFF, 0x00, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78};
  Link.WritePorts(Values);
  EXPECT_EQ(0, std::memcmp(Cable.Ports(), Values, 8));
  uint8_t Back[8] = {};
  Link.ReadPorts(Back);
  EXPECT_EQ(0, std::memcmp(Back, Values, 8));

  Link.SelectPage(0x400000);
  EXPECT_EQ(Card.ConsolePageBase(), 0x400000u);

  // An image written with 'W' packets from a block's start reads back.
  std::vector<uint8_t> Image(256);
  for (size_t I = 0; I < Image.size(); ++I) Image[I] = static_cast<uint8_t>(I * 7);
  for (uint32_t Offset = 0; Offset < Image.size(); Offset += LinkWriteChunk) {
    TLinkWritePacket Packet;
    Packet.Header = MakeLinkCommand(cmdWriteRom, 0x400000 + Offset, LinkWriteChunk);
    std::memcpy(Packet.Data, Image.data() + Offset, LinkWriteChunk);
    ASSERT_TRUE(Link.SendWritePacket(Packet));
  }
  State.PageBase = 0x400000;
  std::vector<uint8_t> Read(256);
  ASSERT_TRUE(Link.ReadBlock(0, 256, cmdReadRom, Read.data()));
  EXPECT_EQ(Read, Image);
  EXPECT_FALSE(Cable.ReplyPending());
}
