// SPDX-License-Identifier: GPL-3.0-or-later
// The x86 build's control codes and its forwarding of system control.
#include <atomic>

#include "driver/kit/SyncRequest.h"
#include "tests/driver/DriverRig.h"

namespace {

class X86ControlTest : public DriverTest {
protected:
  TIoFile* File = nullptr;

  void Start(TUsbBus::TConfig Config = {}) {
    TDriverRig& R = Rig(std::move(Config));
    R.AddAndStart();
    ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (File) TIoManager::Close(File);
    DriverTest::TearDown();
  }
  NTSTATUS Control(ULONG Code, std::vector<uint8_t>& Output, ULONG_PTR* Returned) {
    return TIoManager::DeviceControl(File, Code, nullptr, 0, Output.data(), ULONG(Output.size()), Returned);
  }
  int Count(USHORT UrbFunction) {
    int Found = 0;
    for (auto& Request : Rig().Bus.Requests()) Found += Request.UrbFunction == UrbFunction && Request.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB;
    return Found;
  }
};
FQ_DRIVER_TEST_MODES(X86ControlTest);

TEST_P(X86ControlTest, TheConfigurationDescriptorNeedsABufferOfItsWholeLength) {
  const std::vector<uint8_t> Expected = TUsbBus::CableConfiguration();
  struct TCase {
    size_t Buffer;
    NTSTATUS Status;
    ULONG_PTR Returned;
  };
  const TCase Cases[] = {
      {Expected.size(), STATUS_SUCCESS, Expected.size()},
      {Expected.size() + 100, STATUS_SUCCESS, Expected.size()},
      {Expected.size() - 1, STATUS_INVALID_PARAMETER, 0},
      {0, STATUS_INVALID_PARAMETER, 0},
  };
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << "a buffer of " << Case.Buffer);
    std::vector<uint8_t> Output(Case.Buffer, 0xEE);
    ULONG_PTR Returned = 99;
    EXPECT_EQ(Control(IOCTL_LINK_GET_CONFIG_DESCRIPTOR, Output, &Returned), Case.Status);
    EXPECT_EQ(Returned, Case.Returned);
    if (Case.Status == STATUS_SUCCESS) {
      EXPECT_TRUE(std::equal(Expected.begin(), Expected.end(), Output.begin()));
    }
  }
  EXPECT_TRUE(IdleAgain(Rig()));
}

// The descriptor the control code copies belongs to the configuration of
// the current start: a stop and a new start in the middle of the copy free
// it and read a new one. The stop must wait for the copy to finish, and the
// copy must never read the freed block.
TEST_P(X86ControlTest, TheConfigurationDescriptorIsNotFreedUnderACopyByAStopAndAStart) {
  Start();
  TDriverRig& R = Rig();
  PDEVICE_EXTENSION X = R.Extension();
  std::atomic<bool> Restarted{false};
  NTSTATUS Statuses[3] = {STATUS_PENDING, STATUS_PENDING, STATUS_PENDING};
  std::thread Restart;
  // Between the driver's look at the descriptor and its copy: the stop and
  // the start run on the system's thread. The copy goes on once they are
  // over, or once the stop waits for the copy.
  TKit::BeforeCopyFrom(X->ConfigurationDescriptor, [&] {
    Restart = std::thread([&] {
      Statuses[0] = R.Pnp.QueryStop(R.Bus);
      Statuses[1] = R.Pnp.Stop(R.Bus);
      Statuses[2] = R.Pnp.Start(R.Bus);
      Restarted = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return Restarted || TKit::Waiters(&X->NoPendingIoEvent) > 0; }));
  });
  const std::vector<uint8_t> Expected = TUsbBus::CableConfiguration();
  std::vector<uint8_t> Output(Expected.size(), 0xEE);
  ULONG_PTR Returned = 0;
  EXPECT_EQ(Control(IOCTL_LINK_GET_CONFIG_DESCRIPTOR, Output, &Returned), STATUS_SUCCESS);
  TKit::BeforeCopyFrom(nullptr, nullptr);
  ASSERT_TRUE(Restart.joinable()) << "the descriptor was never copied";
  Restart.join();
  EXPECT_EQ(Output, Expected) << "the copy read the freed descriptor";
  for (NTSTATUS Status : Statuses) EXPECT_EQ(Status, STATUS_SUCCESS);
  // The device runs again with the descriptor of the new start.
  std::vector<uint8_t> Again(Expected.size());
  EXPECT_EQ(Control(IOCTL_LINK_GET_CONFIG_DESCRIPTOR, Again, &Returned), STATUS_SUCCESS);
  EXPECT_EQ(Again, Expected);
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(X86ControlTest, ResetDeviceResetsThePortOnlyWhenItIsConnectedButNotEnabled) {
  for (bool Enabled : {true, false}) {
    SCOPED_TRACE(Enabled ? "port enabled" : "port disabled");
    TUsbBus::TConfig Config = ConfigFor(GetParam());
    TDriverRig R(Config);
    R.AddAndStart();
    TIoFile* Own = nullptr;
    ASSERT_EQ(R.Open(&Own), STATUS_SUCCESS);
    if (!Enabled) {
      // Unplugged: the port no longer reports itself connected.
      R.Bus.Unplug();
    }
    std::vector<uint8_t> Nothing;
    ULONG_PTR Returned = 99;
    EXPECT_EQ(TIoManager::DeviceControl(Own, IOCTL_LINK_RESET_DEVICE, nullptr, 0, nullptr, 0, &Returned),
              STATUS_SUCCESS);
    EXPECT_EQ(Returned, 0u);
    EXPECT_EQ(R.Bus.PortStatusQueries(), 1);
    // An enabled port is left alone; an unplugged one is not connected, so
    // there is nothing to reset either.
    EXPECT_EQ(R.Bus.PortResets(), 0);
    TIoManager::Close(Own);
  }
}

TEST_P(X86ControlTest, ResetDeviceResetsAConnectedPortThatIsNotEnabled) {
  TUsbBus::TConfig Config;
  Config.Enabled = false;
  Start(Config);
  ULONG_PTR Returned = 99;
  EXPECT_EQ(TIoManager::DeviceControl(File, IOCTL_LINK_RESET_DEVICE, nullptr, 0, nullptr, 0, &Returned), STATUS_SUCCESS);
  EXPECT_EQ(Rig().Bus.PortResets(), 1);
  EXPECT_EQ(Rig().Bus.PortStatusQueries(), 1) << "no second query";
}

TEST_P(X86ControlTest, ResetPipesResetsBothBulkPipes) {
  Start();
  std::vector<uint8_t> Nothing;
  ULONG_PTR Returned = 99;
  EXPECT_EQ(Control(IOCTL_LINK_RESET_PIPES, Nothing, &Returned), STATUS_SUCCESS);
  EXPECT_EQ(Count(URB_FUNCTION_RESET_PIPE), 2);
  for (auto& Request : Rig().Bus.Requests())
    if (Request.UrbFunction == URB_FUNCTION_RESET_PIPE) {
      EXPECT_EQ(Request.Status, STATUS_SUCCESS) << "a known pipe";
    }
}

// Any user may open a handle of no access rights; it must not be able to cut
// the program's transfers short by resetting the pipes or the port, whatever
// code it tries (both resets once needed no access at all).
TEST_P(X86ControlTest, AHandleOfNoAccessRightsCannotResetThePipesOrThePort) {
  Start();
  TIoFile* Bare = nullptr;
  TOpenOptions Options;
  Options.Access = 0;
  Options.Outsider = true;
  ASSERT_EQ(TIoManager::Open(Rig().Link(), &Bare, Options), STATUS_SUCCESS);
  int Queries = Rig().Bus.PortStatusQueries();
  ULONG_PTR Returned = 99;
  for (ULONG Code : {ULONG(IOCTL_LINK_RESET_PIPES), 0x220008u, ULONG(IOCTL_LINK_RESET_DEVICE), 0x220004u}) {
    SCOPED_TRACE(testing::Message() << std::hex << Code);
    NTSTATUS Status = TIoManager::DeviceControl(Bare, Code, nullptr, 0, nullptr, 0, &Returned);
    EXPECT_TRUE(Status == STATUS_ACCESS_DENIED || Status == STATUS_INVALID_PARAMETER) << std::hex << Status;
  }
  TIoManager::Close(Bare);
  EXPECT_EQ(Count(URB_FUNCTION_RESET_PIPE), 0);
  EXPECT_EQ(Rig().Bus.PortStatusQueries(), Queries) << "the port was looked at for a reset";
  EXPECT_EQ(Rig().Bus.PortResets(), 0);
  EXPECT_TRUE(IdleAgain(Rig()));
}

TEST_P(X86ControlTest, UnknownCodesAndRequestsOnAClosingDeviceAreRefused) {
  Start();
  std::vector<uint8_t> Output(64);
  ULONG_PTR Returned = 99;
  EXPECT_EQ(Control(0x22000C, Output, &Returned), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Returned, 0u);
  ASSERT_EQ(Rig().Pnp.QueryStop(Rig().Bus), STATUS_SUCCESS);
  EXPECT_EQ(Control(IOCTL_LINK_GET_CONFIG_DESCRIPTOR, Output, &Returned), STATUS_DELETE_PENDING);
  ASSERT_EQ(Rig().Pnp.CancelStop(Rig().Bus), STATUS_SUCCESS);
  EXPECT_EQ(Control(IOCTL_LINK_GET_CONFIG_DESCRIPTOR, Output, &Returned), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(Rig()));
}

TEST_P(X86ControlTest, SystemControlRequestsGoDownToTheBus) {
  Start();
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Rig().Bus.PhysicalDevice());
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = KitInternal::AllocateThreadedIrp(Top->StackSize, &IoStatus, &Done, 0);
  IoGetNextIrpStackLocation(Irp)->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
  EXPECT_EQ(KitSendAndWait(Top, Irp, &Done, &IoStatus, "a system control request"), STATUS_SUCCESS);
  EXPECT_EQ(Rig().Bus.SystemControlRequests(), 1);
  EXPECT_TRUE(IdleAgain(Rig()));
}

}  // namespace
