// SPDX-License-Identifier: GPL-3.0-or-later
// The emulated cable as a transport: handles that behave like a real device's
// and plug events delivered on the polling thread.
#include <gtest/gtest.h>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/PlatformErrors.h"
#include "tests/support/TestSupport.h"

namespace {

class EmulatedLinkPortTest : public ::testing::Test {
protected:
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};

  long ChipIdExchange() {
    auto Packet = Command(cmdChipId);
    if (Port.Write(Packet.data(), Packet.size()) != 9) return -1;
    uint8_t Reply[4];
    return Port.Read(Reply, sizeof Reply);
  }
};

TEST_F(EmulatedLinkPortTest, OpenGivesAHandleOnlyWhilePlugged) {
  intptr_t Handle = Port.Open();
  EXPECT_GT(Handle, 0);
  EXPECT_EQ(ChipIdExchange(), 4);
  intptr_t Again = Port.Open();
  EXPECT_GT(Again, 0);
  EXPECT_NE(Again, Handle);

  Cable.Unplug();
  EXPECT_EQ(Port.Open(), -1);
  EXPECT_EQ(Port.LastError(), kErrNoSuchDevice);
  EXPECT_FALSE(Port.IsOpen());
}

TEST_F(EmulatedLinkPortTest, TransfersNeedAPortOpenedOnTheCurrentPlugIn) {
  uint8_t Byte = 0;
  EXPECT_EQ(Port.Write(&Byte, 1), -1) << "before Open";
  EXPECT_EQ(Port.LastError(), kErrNotOpen);

  ASSERT_GT(Port.Open(), 0);
  Cable.Unplug();
  Cable.Plug();
  EXPECT_EQ(ChipIdExchange(), -1) << "a handle from before the unplug";
  EXPECT_EQ(Port.LastError(), kErrNoSuchDevice);

  ASSERT_GT(Port.Open(), 0);
  EXPECT_EQ(ChipIdExchange(), 4);
  Port.Close();
  EXPECT_EQ(Port.Read(&Byte, 1), -1);
  EXPECT_EQ(Port.LastError(), kErrNotOpen);
}

TEST_F(EmulatedLinkPortTest, TheCablesErrorsReachTheCaller) {
  ASSERT_GT(Port.Open(), 0);
  uint8_t Byte = 0;
  EXPECT_EQ(Port.Read(&Byte, 1), -1);
  EXPECT_EQ(Port.LastError(), kErrTimedOut);

  Cable.UnplugAfter(1);
  auto Packet = Command(cmdReadRom, 0, 4096);
  EXPECT_EQ(Port.Write(Packet.data(), Packet.size()), 9);
  std::vector<uint8_t> Reply(4096);
  EXPECT_EQ(Port.Read(Reply.data(), Reply.size()), -1);
  EXPECT_EQ(Port.LastError(), kErrNoSuchDevice);
}

TEST_F(EmulatedLinkPortTest, PlugEventsReachTheHandlerOnlyFromPolling) {
  int Calls = 0;
  Port.SetDeviceChangeHandler([&] { ++Calls; });
  Port.PollDeviceEvents();
  EXPECT_EQ(Calls, 0) << "no change happened";

  Cable.Unplug();
  EXPECT_EQ(Calls, 0) << "the handler ran outside PollDeviceEvents";
  Port.PollDeviceEvents();
  EXPECT_EQ(Calls, 1);
  Port.PollDeviceEvents();
  EXPECT_EQ(Calls, 1);

  Cable.Plug();
  Cable.Unplug();
  Cable.Plug();
  Port.PollDeviceEvents();
  EXPECT_EQ(Calls, 4) << "one call for each arrival and removal";

  // An unplug that happens inside a transfer is delivered the same way, and a
  // handler that reopens the port finds the cable as it is then.
  intptr_t Reopened = 0;
  Port.SetDeviceChangeHandler([&] { Reopened = Port.Open(); });
  ASSERT_GT(Port.Open(), 0);
  Cable.UnplugAfter(1);
  ChipIdExchange();
  Port.PollDeviceEvents();
  EXPECT_EQ(Reopened, -1);
  Cable.Plug();
  Port.PollDeviceEvents();
  EXPECT_GT(Reopened, 0);
  EXPECT_EQ(ChipIdExchange(), 4);
}

TEST(EmulatedLinkPortOwning, KeepsItsCardAndCableAndNamesTheCardFolder) {
  TTempFolder Dir{"fq-emu"};
  TEmulatedLinkPort Port(std::make_unique<TCard>(Dir.Text()));
  EXPECT_NE(Port.Describe().find(Dir.Text()), std::string::npos) << Port.Describe();
  ASSERT_GT(Port.Open(), 0);
  auto Packet = WritePacket(cmdWriteSram, 7, {0x42});
  EXPECT_EQ(Port.Write(Packet.data(), Packet.size()), 41);
  EXPECT_EQ(Port.Cable().Card().ReadSram(7), 0x42);

  TCard Memory;
  TCableEmulator Cable(Memory);
  EXPECT_NE(TEmulatedLinkPort(Cable).Describe().find("in memory"), std::string::npos);
}

}  // namespace
