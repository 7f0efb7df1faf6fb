// SPDX-License-Identifier: GPL-3.0-or-later
// The x86 build's Plug and Play: which states refuse opens, a query-stop
// refused while stages run, stop and removal cancelling stages in flight,
// the configuration read at start and the interface's link name.
#include "tests/driver/DriverRig.h"

namespace {

using X86PnpTest = DriverTest;
FQ_DRIVER_TEST_MODES(X86PnpTest);

std::vector<uint8_t> Bytes(size_t Count, uint8_t Value) { return std::vector<uint8_t>(Count, Value); }

TEST_P(X86PnpTest, OpensAreRefusedWithDeletePendingAndNotCountedWhileNotRunning) {
  struct TCase {
    const char* State;
    std::function<void(TDriverRig&)> Reach;
  };
  const TCase Cases[] = {
      {"added, not started", [](TDriverRig& R) { ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS); }},
      {"after query-remove",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.QueryRemove(R.Bus), STATUS_SUCCESS);
       }},
      {"after query-stop",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
       }},
      {"after surprise removal",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.SurpriseRemoval(R.Bus), STATUS_SUCCESS);
       }},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.State);
    TDriverRig R(ConfigFor(GetParam()));
    Case.Reach(R);
    // The interface is enabled from the add on; the driver itself refuses.
    EXPECT_TRUE(R.InterfaceEnabled());
    TIoFile* File = nullptr;
    EXPECT_EQ(R.Open(&File), STATUS_DELETE_PENDING);
    EXPECT_EQ(File, nullptr);
    EXPECT_EQ(R.OpenHandles(), 0);
    EXPECT_TRUE(IdleAgain(R));
  }
}

TEST_P(X86PnpTest, QueryStopIsRefusedWhileAStagedRequestRuns) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  std::vector<uint8_t> Buffer(4096);
  ULONG_PTR Moved = 0;
  NTSTATUS Status = STATUS_UNSUCCESSFUL;
  std::thread Reader([&] { Status = R.Read(File, Buffer, &Moved); });
  ASSERT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == 2; }));

  EXPECT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_UNSUCCESSFUL);
  R.Cable.QueueReply(Bytes(2048, 1));
  R.Cable.QueueReply(Bytes(2048, 2));
  R.Bus.ServicePending();
  Reader.join();
  EXPECT_EQ(Status, STATUS_SUCCESS);
  EXPECT_EQ(Moved, 4096u);
  // The refused query left the device running; with nothing in flight the
  // next one is accepted.
  EXPECT_EQ(R.Write(File, Bytes(9, 'D')), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.CancelStop(R.Bus), STATUS_SUCCESS);
  TIoManager::Close(File);
}

// Transfers that wait for the cable must not outlive the configuration or
// the device: the stop or removal cancels them and waits until every stage is
// back; the caller's request ends cancelled, with the bytes that did move.
TEST_P(X86PnpTest, StopAndRemovalCancelTransfersInFlightAndWaitForThem) {
  struct TCase {
    const char* Request;
    std::function<NTSTATUS(TDriverRig&)> Send;
  };
  const TCase Cases[] = {
      {"stop", [](TDriverRig& R) { return R.Pnp.Stop(R.Bus); }},
      {"surprise removal", [](TDriverRig& R) { return R.Pnp.SurpriseRemoval(R.Bus); }},
      {"removal", [](TDriverRig& R) { return R.Pnp.Remove(R.Bus); }},
  };
  struct TRead {
    size_t Length;
    size_t Answered;   // stages the cable answers before the request
    size_t Waiting;
  };
  // Three stages of which the first is answered; one single-stage read.
  const TRead Reads[] = {{6144, 1, 2}, {64, 0, 1}};
  for (const TRead& Read : Reads) {
    for (const TCase& Case : Cases) {
      SCOPED_TRACE(testing::Message() << Case.Request << ", a read of " << Read.Length);
      TDriverRig R(ConfigFor(GetParam()));
      R.AddAndStart();
      TIoFile* File = nullptr;
      ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
      for (size_t Stage = 0; Stage < Read.Answered; ++Stage) R.Cable.QueueReply(Bytes(2048, 7));
      std::vector<uint8_t> Buffer(Read.Length);
      ULONG_PTR Moved = 0;
      NTSTATUS Status = STATUS_PENDING;
      std::thread Reader([&] { Status = R.Read(File, Buffer, &Moved); });
      ASSERT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == Read.Waiting; }));

      EXPECT_EQ(Case.Send(R), STATUS_SUCCESS);
      EXPECT_EQ(R.Bus.WaitingTransfers(), 0u);
      Reader.join();
      EXPECT_EQ(Status, STATUS_CANCELLED);
      EXPECT_EQ(Moved, Read.Answered * 2048);
      TIoManager::Close(File);
    }
  }
}

TEST_P(X86PnpTest, StartFailsWhenTheConfigurationCannotBeRead) {
  struct TCase {
    const char* What;
    std::vector<uint8_t> Descriptor;
  };
  const TCase Cases[] = {
      {"the device stalls the request", {}},
      {"shorter than a configuration descriptor", {9, 2, 39, 0}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TUsbBus::TConfig Config = ConfigFor(GetParam());
    Config.ConfigurationDescriptor = Case.Descriptor;
    TDriverRig R(Config);
    ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
    EXPECT_FALSE(NT_SUCCESS(R.Pnp.Start(R.Bus)));
    EXPECT_FALSE(R.Extension()->Started);
    TIoFile* File = nullptr;
    EXPECT_EQ(R.Open(&File), STATUS_DELETE_PENDING);
  }
}

TEST_P(X86PnpTest, AConfigurationLongerThanTheFirstBufferIsReadAgainWhole) {
  // The cable's configuration followed by vendor descriptors, 639 bytes.
  std::vector<uint8_t> Long = TUsbBus::CableConfiguration();
  for (int Block = 0; Block < 3; ++Block) {
    std::vector<uint8_t> Vendor(200, uint8_t(Block));
    Vendor[0] = 200;
    Vendor[1] = 0x41;
    Long.insert(Long.end(), Vendor.begin(), Vendor.end());
  }
  Long[2] = uint8_t(Long.size());
  Long[3] = uint8_t(Long.size() >> 8);
  TUsbBus::TConfig Config;
  Config.ConfigurationDescriptor = Long;
  TDriverRig& R = Rig(Config);
  R.AddAndStart();

  std::vector<ULONG> Asked;
  for (auto& Request : R.Bus.Requests())
    if (Request.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE) Asked.push_back(Request.RequestedLength);
  EXPECT_EQ(Asked, (std::vector<ULONG>{521, 639}));

  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  std::vector<uint8_t> Copy(700);
  ULONG_PTR Returned = 0;
  EXPECT_EQ(TIoManager::DeviceControl(File, IOCTL_LINK_GET_CONFIG_DESCRIPTOR, nullptr, 0, Copy.data(),
                                      ULONG(Copy.size()), &Returned),
            STATUS_SUCCESS);
  ASSERT_EQ(Returned, Long.size());
  EXPECT_TRUE(std::equal(Long.begin(), Long.end(), Copy.begin()));
  // The pipes were found in the long configuration and carry data.
  EXPECT_EQ(R.Write(File, Bytes(9, 'D')), STATUS_SUCCESS);
  TIoManager::Close(File);
}

TEST_P(X86PnpTest, StopThenStartRunsAgainWithEveryTransferSizeAtTheStageSize) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
  ASSERT_EQ(R.Pnp.Stop(R.Bus), STATUS_SUCCESS);
  EXPECT_FALSE(R.Extension()->Started);
  ASSERT_EQ(R.Pnp.Start(R.Bus), STATUS_SUCCESS);
  PDEVICE_EXTENSION X = R.Extension();
  ASSERT_NE(X->InterfaceInfo, nullptr);
  for (ULONG Pipe = 0; Pipe < X->InterfaceInfo->NumberOfPipes; ++Pipe)
    EXPECT_EQ(X->InterfaceInfo->Pipes[Pipe].MaximumTransferSize, 2048u);
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  EXPECT_EQ(R.Write(File, Bytes(3000, 'W')), STATUS_SUCCESS);
  TIoManager::Close(File);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_EQ(R.OpenHandles(), 0);
}

// The link name is kept in a fixed array of 256 units with its terminator:
// one that would not fit is never cut short or written past the end; the
// device is not added and leaves no interface behind.
TEST_P(X86PnpTest, AnInterfaceLinkNameThatDoesNotFitFailsTheAddCleanly) {
  // The layer's names are "\??\" + path + "#" + the 38-unit class, so a
  // path of 212 units gives a name of 255.
  for (size_t Path : {212u, 213u}) {
    SCOPED_TRACE(testing::Message() << "instance path of " << Path << " units");
    TUsbBus::TConfig Config = ConfigFor(GetParam());
    Config.InstancePath = u"USB#VID_0000&PID_0000#" + std::u16string(Path - 22, u'x');
    TDriverRig R(Config);
    bool Fits = Path + 43 < 256;
    NTSTATUS Added = R.Pnp.AddDevice(R.Bus);
    EXPECT_EQ(NT_SUCCESS(Added), Fits);
    if (Fits) {
      std::u16string Kept(R.Extension()->InterfaceLinkName);
      EXPECT_EQ(Kept, R.Link());
      EXPECT_EQ(Kept.size(), 255u);
    } else {
      EXPECT_EQ(R.Pnp.FunctionDevice(R.Bus), nullptr);
      EXPECT_FALSE(R.InterfaceEnabled());
    }
  }
}

}  // namespace
