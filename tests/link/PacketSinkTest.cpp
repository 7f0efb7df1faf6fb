// SPDX-License-Identifier: GPL-3.0-or-later
// Write packets kept in flight on the emulated cable: only what the cable
// confirmed counts, nothing is left in flight when a run ends, and no other
// exchange overtakes the writes sent before it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/link/PlatformErrors.h"
#include "core/support/Bytes.h"
#include "emulator/CableEmulator.h"
#include "tests/support/TestFrontEnd.h"

namespace {

// A port with no writes in flight of its own: the sink sends one at a time.
class TOneAtATimePort : public TLinkPort {
public:
  explicit TOneAtATimePort(TLinkPort& Inner) : FInner(Inner) {}
  intptr_t Open() override { return FInner.Open(); }
  void Close() override { FInner.Close(); }
  long Write(const uint8_t* Data, size_t Count) override { return FInner.Write(Data, Count); }
  long Read(uint8_t* Data, size_t Count) override { return FInner.Read(Data, Count); }
  int LastError() const override { return FInner.LastError(); }
  std::string Describe() const override { return "one at a time"; }

private:
  TLinkPort& FInner;
};

TLinkWritePacket PacketAt(uint32_t Address) {
  TLinkWritePacket Packet;
  std::memset(&Packet, 0, sizeof Packet);
  Packet.Header.Code = cmdWriteRom;
  Packet.Header.Address = SwapDWord(Address);
  Packet.Header.Length = SwapDWord(32);
  std::memset(Packet.Data, static_cast<int>(0x10 + Address / 32 % 0xE0), sizeof Packet.Data);
  return Packet;
}

// The cable pulled after K of 300 packets, for a spread of depths: the sink
// fails, every packet it counts is on the card, none past them is counted,
// and nothing is left in flight.
TEST(PacketSink, AnUnplugCountsOnlyWhatTheCableConfirmed) {
  const unsigned Depths[] = {1, 2, 16, 64};
  const long Cuts[] = {0, 1, 15, 16, 17, 200};
  for (const bool Direct : {true, false}) {
    for (const unsigned Depth : Depths) {
      for (const long Cut : Cuts) {
        SCOPED_TRACE(std::string(Direct ? "emulated port" : "one at a time") + ", depth " + std::to_string(Depth) +
                     ", unplugged after " + std::to_string(Cut));
        TCard Card;
        TCableEmulator Cable(Card);
        TEmulatedLinkPort Emulated(Cable);
        TOneAtATimePort Plain(Emulated);
        TLinkPort& Port = Direct ? static_cast<TLinkPort&>(Emulated) : Plain;
        TSharedState State;
        TTestFrontEnd Front;
        TLink Link(Port, State, Front);
        ASSERT_TRUE(Link.Reconnect());
        Link.Writes().SetDepth(Depth);
        EXPECT_EQ(Link.Writes().Depth(), Direct ? Depth : 1u);
        Cable.UnplugAfter(Cut);
        bool Refused = false;
        for (uint32_t I = 0; I < 300 && !Refused; ++I) Refused = !Link.SendWritePacket(PacketAt(I * 32));
        EXPECT_LE(Link.Writes().InFlight(), Depth);
        EXPECT_FALSE(Link.FinishWrites());
        EXPECT_EQ(Link.Writes().InFlight(), 0u);
        EXPECT_EQ(Emulated.AsyncWrites()->InFlight(), 0u);
        EXPECT_EQ(Link.Writes().ConfirmedPackets(), static_cast<uint64_t>(Cut));
        EXPECT_EQ(Link.Writes().ConfirmedBytes(), static_cast<uint64_t>(Cut) * 32);
        EXPECT_EQ(Link.Writes().FailureError(), kErrNoSuchDevice);
        for (long I = 0; I < Cut; ++I) ASSERT_EQ(Card.Flash()[I * 32], PacketAt(static_cast<uint32_t>(I) * 32).Data[0]);
        EXPECT_EQ(Card.Flash()[Cut * 32], 0xFF);
        // A new run after the cable is back starts clean.
        Cable.Plug();
        ASSERT_TRUE(Link.Reconnect());
        EXPECT_TRUE(Link.SendWritePacket(PacketAt(0x100000)));
        EXPECT_TRUE(Link.FinishWrites());
      }
    }
  }
}

// A read, the identification and the page selection wait for the writes in
// flight: they come after them on the wire, and the writes are confirmed.
TEST(PacketSink, OtherExchangesComeAfterTheWritesInFlight) {
  TCard Card;
  TCableEmulator Cable(Card);
  TEmulatedLinkPort Port(Cable);
  TSharedState State;
  TTestFrontEnd Front;
  TLink Link(Port, State, Front);
  ASSERT_TRUE(Link.Reconnect());
  Cable.EnableLog(true);
  const struct {
    const char* What;
    std::function<void()> Exchange;
    uint8_t Code;
  } Cases[] = {
      {"read", [&] { uint8_t Buffer[64]; EXPECT_TRUE(Link.ReadBlock(0, 64, cmdReadRom, Buffer)); }, cmdReadRom},
      {"identification", [&] { EXPECT_EQ(Link.ReadChipId(), 0x8917); }, cmdChipId},
      {"page selection", [&] { Link.SelectPage(0); }, cmdSelectPage},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.What);
    const uint64_t Before = Link.Writes().ConfirmedPackets();
    for (uint32_t I = 0; I < 5; ++I) ASSERT_TRUE(Link.SendWritePacket(PacketAt(I * 32)));
    EXPECT_EQ(Link.Writes().InFlight(), 5u);
    Case.Exchange();
    EXPECT_EQ(Link.Writes().InFlight(), 0u);
    EXPECT_EQ(Link.Writes().ConfirmedPackets() - Before, 5u);
    const auto Log = Cable.TakeLog();
    ASSERT_GE(Log.size(), 6u);
    for (size_t I = 0; I < 5; ++I) EXPECT_EQ(Log[I].Bytes[0], cmdWriteRom);
    EXPECT_EQ(Log[5].Bytes[0], Case.Code);
    EXPECT_TRUE(Link.FinishWrites());
  }
}

}  // namespace
