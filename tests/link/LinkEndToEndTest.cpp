// SPDX-License-Identifier: GPL-3.0-or-later
// The program's link over the transport the command line chooses: TLink on
// the emulated cable with its card in files, traced.
#include <gtest/gtest.h>

#include <fstream>

#include "core/SharedState.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/link/LinkPortFactory.h"
#include "core/link/PlatformErrors.h"
#include "core/link/TracePort.h"
#include "emulator/CableEmulator.h"
#include "tests/support/SilentFrontEnd.h"
#include "tests/support/TestSupport.h"

namespace {

TLinkWritePacket MakeWritePacket(uint8_t Code, uint32_t Address, const uint8_t* Data, uint32_t Length) {
  TLinkWritePacket Packet{};
  Packet.Header = MakeLinkCommand(Code, Address, Length);
  std::copy(Data, Data + Length, Packet.Data);
  return Packet;
}

class LinkEndToEndTest : public ::testing::Test {
protected:
  TTempFolder Dir{"fq-emu"};
  TSharedState State;
  TSilentFrontEnd FrontEnd;
  std::unique_ptr<TLinkPort> Port;
  std::unique_ptr<TLink> Link;

  void SetUp() override {
    TLinkOptions Options;
    Options.Emulate = true;
    Options.EmulateDir = Dir / "card";
    Options.TraceFile = Dir / "trace.txt";
    std::string Error;
    Port = MakeLinkPort(Options, Error);
    ASSERT_TRUE(Port) << Error;
    Link = std::make_unique<TLink>(*Port, State, FrontEnd);
    ASSERT_TRUE(Link->Reconnect());
  }

  // The factory's port is the trace over the emulated cable.
  TCableEmulator& Cable() { return static_cast<TEmulatedLinkPort&>(static_cast<TTracePort&>(*Port).Inner()).Cable(); }

  std::vector<std::string> Trace() {
    std::ifstream In(Dir / "trace.txt");
    std::vector<std::string> Lines;
    for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
    return Lines;
  }
};

TEST_F(LinkEndToEndTest, IdentifiesTheChipAndAnotherOne) {
  EXPECT_EQ(Link->ReadChipId(), 0x8917);
  Cable().Card().SetChipId(0x1789);
  EXPECT_EQ(Link->ReadChipId(), 0x1789);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"OUT 9 440000000000000000", "IN 4 17890000",
                                                "OUT 9 440000000000000000", "IN 4 89170000"}));
}

TEST_F(LinkEndToEndTest, AnImageWrittenInPacketsReadsBackOnThePageAndStaysInTheCardFiles) {
  const auto Image = Pattern(5000, 21);
  for (uint32_t Offset = 0; Offset < Image.size(); Offset += 32) {
    uint32_t Length = std::min<uint32_t>(32, uint32_t(Image.size()) - Offset);
    ASSERT_TRUE(Link->SendWritePacket(MakeWritePacket(cmdWriteRom, 0x400000 + Offset, Image.data() + Offset, Length)));
  }
  State.PageBase = 0x400000;
  std::vector<uint8_t> Back(Image.size());
  ASSERT_TRUE(Link->ReadBlock(0, 4096, cmdReadRom, Back.data()));
  ASSERT_TRUE(Link->ReadBlock(4096, uint16_t(Image.size() - 4096), cmdReadRom, Back.data() + 4096));
  EXPECT_EQ(Back, Image);

  auto Lines = Trace();
  // The last packet carries 8 data bytes and is still 41 bytes long.
  ASSERT_EQ(Lines.size(), 157u + 4u);
  EXPECT_EQ(Lines[156].substr(0, 25), "OUT 41 570040138000000008");
  EXPECT_EQ(Lines[156].size(), 7u + 82u);
  // A 4096-byte read at offset 0 of page 2.
  EXPECT_EQ(Lines[157], "OUT 9 ff0040000000001000");
  Link.reset();
  Port.reset();
  TCard Card(Dir / "card");
  EXPECT_TRUE(std::equal(Image.begin(), Image.end(), Card.Flash() + 0x400000));
}

TEST_F(LinkEndToEndTest, AnUnplugDuringAReadStopsTheOperationWithTheErrorNumber) {
  State.Operating = true;
  std::vector<uint8_t> Buffer(4096);
  ASSERT_TRUE(Link->ReadBlock(0, 4096, cmdReadSram, Buffer.data()));
  Cable().UnplugAfter(1);
  EXPECT_FALSE(Link->ReadBlock(4096, 4096, cmdReadSram, Buffer.data()));
  EXPECT_FALSE(State.Operating);
  EXPECT_EQ(FrontEnd.StatusText(1), "Error Code: " + std::to_string(kErrNoSuchDevice));
  EXPECT_EQ(Trace().back(), "IN -1 error " + std::to_string(kErrNoSuchDevice));

  // After the cable is back, only a new connection reaches it.
  Cable().Plug();
  EXPECT_EQ(Link->ReadChipId(), 0);
  EXPECT_TRUE(Link->Reconnect());
  EXPECT_EQ(Link->ReadChipId(), 0x8917);
}

TEST_F(LinkEndToEndTest, PortsSaveRamAndPageSelectReachTheCable) {
  const uint8_t Ports[8] = {0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78};
  Link->WritePorts(Ports);
  uint8_t Back[8] = {};
  Link->ReadPorts(Back);
  EXPECT_TRUE(std::equal(Ports, Ports + 8, Back));

  const uint8_t Save[3] = {0xDE, 0xAD, 0x01};
  ASSERT_TRUE(Link->SendWritePacket(MakeWritePacket(cmdWriteSram, 0x100, Save, 3)));
  State.PageBase = 0x400000;   // save RAM reads carry the page base; the card wraps it away
  uint8_t Read[3] = {};
  ASSERT_TRUE(Link->ReadBlock(0x100, 3, cmdReadSram, Read));
  EXPECT_TRUE(std::equal(Save, Save + 3, Read));

  Link->SelectPage(0x400000);
  EXPECT_EQ(Cable().Card().ConsolePageBase(), 0x400000u);
}

}  // namespace
