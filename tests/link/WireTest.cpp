// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes TLink puts on the wire, checked against a scripted port.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/link/Link.h"
#include "tests/link/ScriptedPort.h"
#include "tests/support/TestFrontEnd.h"

namespace {

using TBytes = std::vector<uint8_t>;

class WireTest : public ::testing::Test {
protected:
  TScriptedPort Port;
  TSharedState State;
  TTestFrontEnd FrontEnd;
  TLink Link{Port, State, FrontEnd};

  void Connect() { ASSERT_TRUE(Link.Reconnect()); }
};

}  // namespace

TEST_F(WireTest, ReadHeadersAddThePageBase) {
  Connect();
  const struct {
    int32_t Address;
    uint16_t Count;
    uint8_t Code;
    uint32_t PageBase;
    TBytes Header;
  } Cases[] = {
      {0x8000, 512, cmdReadRom, 0, {0xFF, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x02, 0x00}},
      {0, 4096, cmdReadRom, 0x400000, {0xFF, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00}},
      {0x1000, 4096, cmdReadSram, 0x400000, {'m', 0x00, 0x40, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00}},
      {0x3FFFFF, 65535, cmdReadRom, 0x400000, {0xFF, 0x00, 0x7F, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF}},
      {-1, 1, cmdReadRom, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01}},
  };
  for (const auto& C : Cases) {
    Port.Writes.clear();
    Port.ReadSizes.clear();
    State.PageBase = C.PageBase;
    Port.Replies.push_back(TBytes(C.Count, 0xA5));
    std::vector<uint8_t> Buffer(C.Count);
    EXPECT_TRUE(Link.ReadBlock(C.Address, C.Count, C.Code, Buffer.data()));
    ASSERT_EQ(Port.Writes.size(), 1u);
    EXPECT_EQ(Port.Writes[0], C.Header);
    // One read call of exactly Count bytes: one bulk IN transfer.
    EXPECT_EQ(Port.ReadSizes, std::vector<size_t>{C.Count});
    EXPECT_EQ(Buffer.back(), 0xA5);
  }
}

TEST_F(WireTest, CommandsWithoutData) {
  Connect();
  Port.Replies.push_back({0x17, 0x89, 0, 0});
  Link.ReadChipId();
  Link.SelectPage(0x400000);
  const uint8_t Values[8] = {0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22, 0x23};
  Link.WritePorts(Values);
  Port.Replies.push_back(TBytes(8, 0));
  uint8_t Ports[8];
  Link.ReadPorts(Ports);

  const std::vector<TBytes> Expected = {
      {'D', 0, 0, 0, 0, 0, 0, 0, 0},
      {'A', 0x00, 0x40, 0x00, 0x00, 0, 0, 0, 0},
      {'1', 0x10, 0x11, 0x12, 0x13, 0x20, 0x21, 0x22, 0x23},   // raw bytes, not swapped numbers
      {'2', 0, 0, 0, 0, 0, 0, 0, 0},
  };
  EXPECT_EQ(Port.Writes, Expected);
  EXPECT_EQ(Port.ReadSizes, (std::vector<size_t>{4, 8}));
}

TEST_F(WireTest, WritePacketIsAlways41Bytes) {
  Connect();
  TLinkWritePacket Packet;
  Packet.Header = MakeLinkCommand(cmdWriteRom, 0x400130, 5);
  std::memset(Packet.Data, 0xEE, sizeof Packet.Data);
  std::memcpy(Packet.Data, "\x01\x02\x03\x04\x05", 5);
  EXPECT_TRUE(Link.SendWritePacket(Packet));
  ASSERT_EQ(Port.Writes.size(), 1u);
  const TBytes& Wire = Port.Writes[0];
  ASSERT_EQ(Wire.size(), 41u);
  EXPECT_EQ(TBytes(Wire.begin(), Wire.begin() + 9), (TBytes{'W', 0x00, 0x40, 0x01, 0x30, 0x00, 0x00, 0x00, 0x05}));
  EXPECT_EQ(Wire[9], 0x01);
  EXPECT_EQ(Wire[13], 0x05);
  EXPECT_EQ(Wire[40], 0xEE);   // the rest of the 32 bytes goes out as it stands
  EXPECT_TRUE(Port.Replies.empty());
  EXPECT_TRUE(Port.ReadSizes.empty());   // no reply is read

  Port.AcceptWrites = false;
  EXPECT_FALSE(Link.SendWritePacket(Packet));
  EXPECT_EQ(FrontEnd.StatusWrites, 0);   // reporting is the write engine's
}

TEST_F(WireTest, ChipIdIsLowByteFirst) {
  Connect();
  const struct {
    TBytes Reply;
    uint16_t Id;
  } Cases[] = {{{0x17, 0x89, 0x00, 0x00}, 0x8917}, {{0x89, 0x17, 0xAB, 0xCD}, 0x1789}, {{0, 0, 0, 0}, 0}};
  for (const auto& C : Cases) {
    FrontEnd.Panels[1] = "Read complete.";
    Port.Replies.push_back(C.Reply);
    EXPECT_EQ(Link.ReadChipId(), C.Id);
    EXPECT_EQ(FrontEnd.Panels[1], "");   // every answer empties panel 1
  }
}

TEST_F(WireTest, FailedExchangesReportTheLastError) {
  Connect();
  Port.Error = 71;
  // A short chip-id reply: reported, and never the known chip.
  // The port had no error of its own for it, so the report shows its last
  // error number as it stands.
  Port.Replies.push_back({0x17, 0x89});
  EXPECT_EQ(Link.ReadChipId(), 0);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: 0");

  FrontEnd.Panels[1].clear();
  Port.AcceptWrites = false;
  EXPECT_EQ(Link.ReadChipId(), 0);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: 71");
  EXPECT_TRUE(Port.ReadSizes.size() == 1u);   // no read after a refused command

  const uint8_t Values[8] = {};
  FrontEnd.Panels[1].clear();
  Link.WritePorts(Values);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: 71");

  Port.AcceptWrites = true;
  Port.Error = 5;
  FrontEnd.Panels[1].clear();
  uint8_t Ports[8];
  Link.ReadPorts(Ports);   // no reply
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: 5");

  // SelectPage ignores every failure.
  Port.AcceptWrites = false;
  FrontEnd.Panels[1].clear();
  Link.SelectPage(0);
  EXPECT_EQ(FrontEnd.Panels[1], "");
}

TEST_F(WireTest, ReadBlockFailureStopsTheOperation) {
  Connect();
  const struct {
    bool AcceptWrite;
    size_t ReplyBytes;   // 0: no reply at all
  } Cases[] = {{false, 0}, {true, 0}, {true, 511}};
  for (const auto& C : Cases) {
    Port.AcceptWrites = C.AcceptWrite;
    Port.Replies.clear();
    if (C.ReplyBytes) Port.Replies.push_back(TBytes(C.ReplyBytes, 0));
    State.Operating = true;
    FrontEnd.Panels[1].clear();
    uint8_t Buffer[512];
    EXPECT_FALSE(Link.ReadBlock(0, 512, cmdReadRom, Buffer));
    EXPECT_FALSE(State.Operating);
    EXPECT_EQ(FrontEnd.Panels[1], "Error Code: " + std::to_string(kErrIo));
  }
}

TEST_F(WireTest, NoLinkMeansNoReadAndNoReport) {
  uint8_t Buffer[16];
  State.Operating = true;
  EXPECT_FALSE(Link.ReadBlock(0, 16, cmdReadRom, Buffer));
  EXPECT_TRUE(Port.Writes.empty());
  EXPECT_EQ(FrontEnd.StatusWrites, 0);
  EXPECT_TRUE(State.Operating);

  // SelectPage is attempted all the same, and reports nothing.
  Link.SelectPage(0x400000);
  EXPECT_EQ(Port.Writes.size(), 1u);
  EXPECT_EQ(FrontEnd.StatusWrites, 0);

  // A zero count never reaches the wire, with or without a link.
  Connect();
  EXPECT_FALSE(Link.ReadBlock(0, 0, cmdReadRom, Buffer));
  EXPECT_EQ(Port.Writes.size(), 1u);
}

TEST_F(WireTest, ReconnectKeepsAHandleOrZero) {
  const struct {
    intptr_t OpenResult;
    bool Linked;
    intptr_t Handle;
  } Cases[] = {{0x1234, true, 0x1234}, {-1, false, 0}, {0, false, 0}, {7, true, 7}};
  for (const auto& C : Cases) {
    Port.OpenResult = C.OpenResult;
    EXPECT_EQ(Link.Reconnect(), C.Linked) << C.OpenResult;
    EXPECT_EQ(Link.LinkHandle(), C.Handle) << C.OpenResult;
  }
  // An open link is closed before the next open; no link is not closed.
  Port.Closes = 0;
  Port.OpenResult = 9;
  Link.Reconnect();   // from handle 7
  EXPECT_EQ(Port.Closes, 1);
  Port.OpenResult = -1;
  Link.Reconnect();
  Link.Reconnect();   // from 0: nothing to close
  EXPECT_EQ(Port.Closes, 2);
}

TEST_F(WireTest, OnlyAFailedOpenWithADetailReplacesTheCaption) {
  // The Windows port's failed device-detail query says "error,size"; every
  // other outcome of an open leaves the caption alone.
  const struct {
    intptr_t OpenResult;
    const char* Detail;
    size_t Captions;
  } Cases[] = {{-1, "", 0}, {0x1234, "", 0}, {-1, "122,0", 1}, {5, "", 1}};
  for (const auto& C : Cases) {
    Port.OpenResult = C.OpenResult;
    Port.FailureDetail = C.Detail;
    Link.Reconnect();
    EXPECT_EQ(FrontEnd.Captions.size(), C.Captions) << C.OpenResult << " " << C.Detail;
  }
  EXPECT_EQ(FrontEnd.Captions.back(), "122,0");
}

TEST(FindChip, OnlyTheKnownChip) {
  const TChipInfo* Chip = FindChip(0x8917);
  ASSERT_NE(Chip, nullptr);
  EXPECT_STREQ(Chip->Name, "E28F640J3A");
  EXPECT_EQ(Chip->Capacity, 0x400000u);
  for (uint16_t Other : {0x1789, 0x0000, 0xFFFF, 0x8916})
    EXPECT_EQ(FindChip(Other), nullptr) << std::hex << Other;
}
