// SPDX-License-Identifier: GPL-3.0-or-later
// The x86 build's power handling: power-up on open and power-down after the
// last close, device power following system power, and wait-wake.
#include "tests/driver/DriverRig.h"

namespace {

class X86PowerTest : public DriverTest {
protected:
  // A device that may sleep in D2 while the system sleeps, and wake from D2.
  TDriverRig& Sleepy() {
    TUsbBus::TConfig Config;
    Config.SleepingDeviceState = PowerDeviceD2;
    Config.DeviceWake = PowerDeviceD2;
    return Rig(Config);
  }
  // Device set-power requests that reached the bus, in order.
  std::vector<DEVICE_POWER_STATE> DeviceStates() {
    std::vector<DEVICE_POWER_STATE> States;
    for (auto& Request : Rig().Bus.PowerRequests())
      if (Request.MinorFunction == IRP_MN_SET_POWER && Request.Type == DevicePowerState)
        States.push_back(Request.State.DeviceState);
    return States;
  }
  std::vector<SYSTEM_POWER_STATE> SystemStates() {
    std::vector<SYSTEM_POWER_STATE> States;
    for (auto& Request : Rig().Bus.PowerRequests())
      if (Request.MinorFunction == IRP_MN_SET_POWER && Request.Type == SystemPowerState)
        States.push_back(Request.State.SystemState);
    return States;
  }
  NTSTATUS SetSystem(SYSTEM_POWER_STATE State) {
    POWER_STATE Power;
    Power.SystemState = State;
    return Rig().Pnp.Power(Rig().Bus, IRP_MN_SET_POWER, SystemPowerState, Power);
  }
  NTSTATUS SetDevice(DEVICE_POWER_STATE State) {
    POWER_STATE Power;
    Power.DeviceState = State;
    return Rig().Pnp.Power(Rig().Bus, IRP_MN_SET_POWER, DevicePowerState, Power);
  }
};
FQ_DRIVER_TEST_MODES(X86PowerTest);

TEST_P(X86PowerTest, OpenPowersUpAndTheLastClosePowersDownEvenAfterARefusedOpen) {
  TDriverRig& R = Sleepy();
  long Requested = TKit::PowerIrpsRequested();
  ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Extension()->PowerDownLevel, PowerDeviceD2);
  // Refused before the start; it must not count as a handle.
  TIoFile* Refused = nullptr;
  EXPECT_EQ(R.Open(&Refused), STATUS_DELETE_PENDING);
  ASSERT_EQ(R.Pnp.Start(R.Bus), STATUS_SUCCESS);

  TIoFile* First = nullptr;
  TIoFile* Second = nullptr;
  ASSERT_EQ(R.Open(&First), STATUS_SUCCESS);
  EXPECT_EQ(DeviceStates(), std::vector<DEVICE_POWER_STATE>{PowerDeviceD0});
  EXPECT_EQ(R.Extension()->DevicePowerState, PowerDeviceD0);
  ASSERT_EQ(R.Open(&Second), STATUS_SUCCESS);
  TIoManager::Close(First);
  EXPECT_EQ(DeviceStates().size(), 1u) << "a handle is still open";
  TIoManager::Close(Second);
  // The power-down is not waited for: the power manager carries it out later.
  EXPECT_TRUE(WaitUntil([&] { return DeviceStates().size() == 2 && IdleAgain(R); }));
  EXPECT_EQ(DeviceStates(), (std::vector<DEVICE_POWER_STATE>{PowerDeviceD0, PowerDeviceD2}));
  EXPECT_EQ(R.Extension()->DevicePowerState, PowerDeviceD2);
  EXPECT_EQ(R.OpenHandles(), 0);
  EXPECT_EQ(TKit::PowerIrpsRequested() - Requested, 2);
  EXPECT_FALSE(R.Extension()->PowerRequestPending);
  EXPECT_TRUE(IdleAgain(R));
}

// The power-down after a close is carried out later by the power manager; a
// reopen in the meantime must still leave the device running once every
// request asked for has been carried out, round after round.
TEST_P(X86PowerTest, AReopenRightAfterTheLastCloseLeavesTheDeviceRunning) {
  TDriverRig& R = Sleepy();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  int Suspended = 0;
  for (int Round = 0; Round < 40; ++Round) {
    TIoManager::Close(File);
    ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
    EXPECT_EQ(R.Extension()->DevicePowerState, PowerDeviceD0) << "round " << Round << ": the open returned early";
    TKit::WaitForPowerRequests();
    Suspended += R.Extension()->DevicePowerState != PowerDeviceD0;
  }
  EXPECT_EQ(Suspended, 0) << "rounds that ended suspended with a handle open";
  TIoManager::Close(File);
  TKit::WaitForPowerRequests();
  EXPECT_EQ(R.Extension()->DevicePowerState, PowerDeviceD2) << "no handle open";
  EXPECT_FALSE(R.Extension()->PowerRequestPending);
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(X86PowerTest, DevicePowerFollowsSystemPowerBeforeTheSystemRequestGoesDown) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  ASSERT_EQ(SetSystem(PowerSystemSleeping3), STATUS_SUCCESS);
  EXPECT_EQ(DeviceStates(), std::vector<DEVICE_POWER_STATE>{PowerDeviceD3});
  EXPECT_EQ(SystemStates(), std::vector<SYSTEM_POWER_STATE>{PowerSystemSleeping3});
  ASSERT_EQ(SetSystem(PowerSystemWorking), STATUS_SUCCESS);
  EXPECT_EQ(DeviceStates(), (std::vector<DEVICE_POWER_STATE>{PowerDeviceD3, PowerDeviceD0}));
  EXPECT_EQ(R.Extension()->DevicePowerState, PowerDeviceD0);
  // Already there: the system request goes straight down.
  ASSERT_EQ(SetSystem(PowerSystemWorking), STATUS_SUCCESS);
  EXPECT_EQ(DeviceStates().size(), 2u);
  EXPECT_EQ(SystemStates().size(), 3u);
  EXPECT_EQ(R.Extension()->PendingSystemPowerIrp, nullptr);
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(X86PowerTest, AHeldSystemRequestStillGoesDownWhenNoDeviceRequestCanBeMade) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TKit::FailPowerRequests(STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(SetSystem(PowerSystemSleeping3), STATUS_SUCCESS);
  TKit::FailPowerRequests(STATUS_SUCCESS);
  EXPECT_EQ(SystemStates(), std::vector<SYSTEM_POWER_STATE>{PowerSystemSleeping3});
  EXPECT_TRUE(DeviceStates().empty());
  EXPECT_EQ(R.Extension()->PendingSystemPowerIrp, nullptr);
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(X86PowerTest, WaitWakeIsArmedOnlyInAStateTheDeviceCanWakeFromAndThenCompleted) {
  struct TCase {
    DEVICE_POWER_STATE Device;
    NTSTATUS Status;
  };
  const TCase Cases[] = {
      {PowerDeviceD0, STATUS_INVALID_DEVICE_STATE},
      {PowerDeviceD1, STATUS_INVALID_DEVICE_STATE},   // waking from D2 is as light as it goes
      {PowerDeviceD2, STATUS_SUCCESS},
      {PowerDeviceD3, STATUS_SUCCESS},
  };
  TDriverRig& R = Sleepy();
  R.AddAndStart();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << "device in D" << int(Case.Device) - 1);
    ASSERT_EQ(SetDevice(Case.Device), STATUS_SUCCESS);
    size_t Before = R.Bus.PowerRequests().size();
    POWER_STATE Wake;
    Wake.SystemState = PowerSystemSleeping3;
    EXPECT_EQ(R.Pnp.Power(R.Bus, IRP_MN_WAIT_WAKE, SystemPowerState, Wake), Case.Status);
    bool Forwarded = R.Bus.PowerRequests().size() > Before && R.Bus.PowerRequests()[Before].MinorFunction == IRP_MN_WAIT_WAKE;
    EXPECT_EQ(Forwarded, Case.Status == STATUS_SUCCESS);
    EXPECT_FALSE(R.Extension()->WaitWakePending);
    EXPECT_EQ(R.Extension()->PowerDownLevel, PowerDeviceD2);
  }
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(X86PowerTest, OtherPowerRequestsReachTheBusUnchanged) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  POWER_STATE State;
  State.SystemState = PowerSystemHibernate;
  PIRP Sent = nullptr;
  EXPECT_EQ(R.Pnp.Power(R.Bus, IRP_MN_QUERY_POWER, SystemPowerState, State, PowerActionHibernate, 7, &Sent),
            STATUS_SUCCESS);
  auto Requests = R.Bus.PowerRequests();
  ASSERT_EQ(Requests.size(), 1u);
  EXPECT_EQ(Requests[0].Irp, Sent);
  EXPECT_EQ(Requests[0].MinorFunction, IRP_MN_QUERY_POWER);
  EXPECT_EQ(Requests[0].State.SystemState, PowerSystemHibernate);
  EXPECT_EQ(Requests[0].ShutdownType, PowerActionHibernate);
  EXPECT_EQ(Requests[0].SystemContext, 7u);
  EXPECT_TRUE(IdleAgain(R));
}

}  // namespace
