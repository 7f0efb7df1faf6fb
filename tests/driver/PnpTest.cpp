// SPDX-License-Identifier: GPL-3.0-or-later
// Plug and Play and power: which states let a handle be opened and transfers
// through, how a stop waits for a transfer in progress, and that the
// counters come back to their idle values.
#include <atomic>
#include <cstring>

#include "tests/driver/DriverRig.h"

namespace {

using PnpTest = DriverTest;
FQ_DRIVER_TEST_MODES(PnpTest);

const std::vector<uint8_t> ChipIdCommand = {'D', 0, 0, 0, 0, 0, 0, 0, 0};

// A translated resource list with the given partial descriptors.
std::vector<uint8_t> ResourceList(const std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>& Partials) {
  size_t Extra = Partials.empty() ? 0 : Partials.size() - 1;
  std::vector<uint8_t> Bytes(sizeof(CM_RESOURCE_LIST) + Extra * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR));
  auto* List = reinterpret_cast<PCM_RESOURCE_LIST>(Bytes.data());
  List->Count = 1;
  List->List[0].PartialResourceList.Count = ULONG(Partials.size());
  // The descriptors run on past the declared array, as in the system's lists.
  auto* First = reinterpret_cast<PCM_PARTIAL_RESOURCE_DESCRIPTOR>(&List->List[0].PartialResourceList.PartialDescriptors);
  std::copy(Partials.begin(), Partials.end(), First);
  return Bytes;
}

CM_PARTIAL_RESOURCE_DESCRIPTOR Partial(UCHAR Type, USHORT Flags = 0) {
  CM_PARTIAL_RESOURCE_DESCRIPTOR Descriptor{};
  Descriptor.Type = Type;
  Descriptor.Flags = Flags;
  Descriptor.u.Generic.Start.QuadPart = 0xFED00000;
  Descriptor.u.Generic.Length = 0x400;
  return Descriptor;
}


TEST_P(PnpTest, OpensAreRefusedWhileTheDeviceIsNotRunning) {
  struct TCase {
    const char* State;
    std::function<void(TDriverRig&)> Reach;
  };
  const TCase Cases[] = {
      {"added, not started", [](TDriverRig& R) { ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS); }},
      {"stopped",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
         ASSERT_EQ(R.Pnp.Stop(R.Bus), STATUS_SUCCESS);
       }},
      {"query-stop pending",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
       }},
      {"between query-remove and removal",
       [](TDriverRig& R) {
         R.AddAndStart();
         ASSERT_EQ(R.Pnp.QueryRemove(R.Bus), STATUS_SUCCESS);
       }},
      {"surprise-removed",
       [](TDriverRig& R) {
         R.AddAndStart();
         R.Bus.Unplug();
         ASSERT_EQ(R.Pnp.SurpriseRemoval(R.Bus), STATUS_SUCCESS);
       }},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.State);
    TDriverRig Rig(TUsbBus::TConfig{.Completion = GetParam()});
    Case.Reach(Rig);
    TIoFile* File = nullptr;
    EXPECT_EQ(Rig.OpenDevice(&File), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(File, nullptr);
    EXPECT_EQ(Rig.OpenHandles(), 0);
    EXPECT_TRUE(IdleAgain(Rig));
  }
}

TEST_P(PnpTest, TheInterfaceCanBeOpenedOnlyOnceStarted) {
  TDriverRig& R = Rig();
  ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
  ASSERT_FALSE(R.Link().empty());
  EXPECT_FALSE(R.InterfaceEnabled());
  TIoFile* File = nullptr;
  EXPECT_EQ(R.Open(&File), STATUS_OBJECT_NAME_NOT_FOUND);

  ASSERT_EQ(R.Pnp.Start(R.Bus), STATUS_SUCCESS);
  EXPECT_TRUE(R.InterfaceEnabled());
  EXPECT_EQ(TIoManager::Interfaces(LinkInterfaceClass), std::vector<std::u16string>{R.Link()});
  // Found too by the public numbers taken as the Windows program takes them,
  // byte for byte into the system's GUID.
  GUID ProgramClass;
  std::memcpy(&ProgramClass, &LinkInterfaceGuid, sizeof ProgramClass);
  EXPECT_EQ(TIoManager::Interfaces(ProgramClass), std::vector<std::u16string>{R.Link()});
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  EXPECT_EQ(R.OpenHandles(), 1);
  EXPECT_EQ(TIoManager::Close(File), STATUS_SUCCESS);
  EXPECT_EQ(R.OpenHandles(), 0);
}

TEST_P(PnpTest, QueryRemoveIsRefusedWhileAHandleIsOpenAndAcceptedAfterClose) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);

  EXPECT_EQ(R.Pnp.QueryRemove(R.Bus), STATUS_UNSUCCESSFUL);
  EXPECT_TRUE(IdleAgain(R));
  // The refusal left the device running: the handle still carries commands.
  EXPECT_EQ(R.Write(File, ChipIdCommand), STATUS_SUCCESS);
  R.Cable.QueueReply({0x17, 0x89, 0, 0});
  std::vector<uint8_t> Reply(4);
  EXPECT_EQ(R.Read(File, Reply), STATUS_SUCCESS);

  ASSERT_EQ(TIoManager::Close(File), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.QueryRemove(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Open(&File), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(R.OpenHandles(), 0);

  EXPECT_EQ(R.Pnp.Remove(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.FunctionDevice(R.Bus), nullptr);
  EXPECT_FALSE(R.InterfaceEnabled());
  EXPECT_TRUE(TIoManager::Interfaces(LinkInterfaceClass).empty());
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u) << "the interface name and the saved interface are freed";
}

TEST_P(PnpTest, QueryStopRefusesTransfersOnAnOpenHandleUntilCancelled) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);

  ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
  std::vector<uint8_t> Reply(4);
  EXPECT_EQ(R.Write(File, ChipIdCommand), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(R.Read(File, Reply), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_TRUE(R.Bus.Transfers().empty());
  EXPECT_TRUE(IdleAgain(R));

  ASSERT_EQ(R.Pnp.CancelStop(R.Bus), STATUS_SUCCESS);
  ULONG_PTR Moved = 0;
  EXPECT_EQ(R.Write(File, ChipIdCommand, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 9u);
  TIoManager::Close(File);
}

TEST_P(PnpTest, AStopWaitsForABlockedReadWhileNewReadsGetDeletePending) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);

  std::vector<uint8_t> Blocked(4);
  NTSTATUS BlockedStatus = STATUS_PENDING;
  ULONG_PTR BlockedBytes = 0;
  std::thread Reader([&] { BlockedStatus = R.Read(File, Blocked, &BlockedBytes); });
  // Expectations only from here on: the threads must be joined whatever fails.
  EXPECT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == 1; }));

  std::atomic<bool> Stopped{false};
  NTSTATUS StopStatus = STATUS_PENDING;
  std::thread Stopper([&] {
    StopStatus = R.Pnp.Stop(R.Bus);
    Stopped = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return TKit::Waiters(&R.Extension()->IoIdleEvent) == 1; }));
  EXPECT_FALSE(Stopped);

  std::vector<uint8_t> Late(4);
  EXPECT_EQ(R.Read(File, Late), STATUS_DELETE_PENDING);
  EXPECT_EQ(R.Write(File, ChipIdCommand), STATUS_DELETE_PENDING);
  EXPECT_FALSE(Stopped);

  // The cable answers: the read finishes, and only then the stop.
  R.Cable.QueueReply({0x17, 0x89, 0, 0});
  R.Bus.ServicePending();
  Reader.join();
  Stopper.join();
  EXPECT_EQ(BlockedStatus, STATUS_SUCCESS);
  EXPECT_EQ(BlockedBytes, 4u);
  EXPECT_EQ(Blocked, (std::vector<uint8_t>{0x17, 0x89, 0, 0}));
  EXPECT_EQ(StopStatus, STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_FALSE(R.Extension()->Started);
  EXPECT_EQ(R.Read(File, Late), STATUS_DEVICE_NOT_CONNECTED);
  TIoManager::Close(File);
}

TEST_P(PnpTest, StopThenStartRunsAgainAndLooksAtTheResourcesAgain) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  EXPECT_TRUE(IdleAgain(R));
  ASSERT_EQ(R.Pnp.QueryStop(R.Bus), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(R));
  ASSERT_EQ(R.Pnp.Stop(R.Bus), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_TRUE(R.InterfaceEnabled()) << "a stopped device keeps its interface until removal";

  // Two memory ranges: the restart examines the list and refuses.
  std::vector<uint8_t> TwoRanges = ResourceList({Partial(CmResourceTypeMemory), Partial(CmResourceTypeMemory)});
  EXPECT_EQ(R.Pnp.Start(R.Bus, reinterpret_cast<PCM_RESOURCE_LIST>(TwoRanges.data())), STATUS_DEVICE_CONFIGURATION_ERROR);
  EXPECT_TRUE(IdleAgain(R));

  ASSERT_EQ(R.Pnp.Start(R.Bus), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_TRUE(R.Extension()->Started);
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  EXPECT_EQ(R.Write(File, ChipIdCommand), STATUS_SUCCESS);
  TIoManager::Close(File);
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(PnpTest, UnplugFailsTheBlockedReadThenSurpriseRemovalAndRemovalCleanUp) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);

  std::vector<uint8_t> Blocked(4);
  NTSTATUS BlockedStatus = STATUS_PENDING;
  ULONG_PTR BlockedBytes = 99;
  std::thread Reader([&] { BlockedStatus = R.Read(File, Blocked, &BlockedBytes); });
  // Expectations only from here on: the threads must be joined whatever fails.
  EXPECT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == 1; }));
  R.Bus.Unplug();
  Reader.join();
  EXPECT_EQ(BlockedStatus, STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(BlockedBytes, 0u);

  ASSERT_EQ(R.Pnp.SurpriseRemoval(R.Bus), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_FALSE(R.Extension()->Started);
  EXPECT_EQ(R.Read(File, Blocked), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(TIoManager::Close(File), STATUS_SUCCESS);

  EXPECT_EQ(R.Pnp.Remove(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.FunctionDevice(R.Bus), nullptr);
  EXPECT_FALSE(R.InterfaceEnabled());
  EXPECT_TRUE(TIoManager::Interfaces(LinkInterfaceClass).empty());
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
  EXPECT_EQ(TKit::DevicesInUse(), 1u) << "only the port's own device is left";
}

// A bus that fails what it kept since a pull only once the removal reaches
// the port itself: the removal must go down before the driver waits for its
// transfers, or neither ever ends.
TEST_P(PnpTest, SurpriseRemovalReachesABusThatHoldsTransfersUntilItIsTold) {
  TDriverRig R(TUsbBus::TConfig{.Completion = GetParam(), .HoldsTransfersAfterPull = true});
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);

  std::vector<uint8_t> Blocked(4);
  NTSTATUS ReadStatus = STATUS_PENDING;
  NTSTATUS WriteStatus = STATUS_PENDING;
  std::thread Reader([&] { ReadStatus = R.Read(File, Blocked); });
  EXPECT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == 1; }));
  R.Bus.Unplug();
  // Sent after the pull: the bus keeps it too.
  std::thread Writer([&] { WriteStatus = R.Write(File, ChipIdCommand); });
  EXPECT_TRUE(WaitUntil([&] { return R.Bus.HeldAfterPull() == 2; }));

  std::atomic<bool> Removed{false};
  NTSTATUS RemovalStatus = STATUS_PENDING;
  std::thread Removal([&] {
    RemovalStatus = R.Pnp.SurpriseRemoval(R.Bus);
    Removed = true;
  });
  bool Ended = WaitUntil([&] { return Removed.load(); });
  EXPECT_TRUE(Ended) << "the surprise removal waited for transfers only its own arrival at the port can end";
  if (!Ended) R.Bus.FailHeldAfterPull();   // frees the threads so the test can end
  Removal.join();
  Reader.join();
  Writer.join();
  EXPECT_EQ(RemovalStatus, STATUS_SUCCESS);
  EXPECT_FALSE(NT_SUCCESS(ReadStatus));
  EXPECT_FALSE(NT_SUCCESS(WriteStatus));
  EXPECT_EQ(R.Bus.HeldAfterPull(), 0u);
  EXPECT_TRUE(IdleAgain(R));
  EXPECT_FALSE(R.Extension()->Started);
  EXPECT_EQ(TIoManager::Close(File), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.Remove(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.FunctionDevice(R.Bus), nullptr);
}

TEST_P(PnpTest, StartExaminesTheTranslatedResourceList) {
  CM_PARTIAL_RESOURCE_DESCRIPTOR Interrupt{};
  Interrupt.Type = CmResourceTypeInterrupt;
  Interrupt.Flags = CM_RESOURCE_INTERRUPT_LATCHED;
  Interrupt.u.Interrupt.Level = 0x1205;
  Interrupt.u.Interrupt.Vector = 0x51;
  Interrupt.u.Interrupt.Affinity = 3;
  struct TCase {
    const char* What;
    bool Absent;
    bool NoFullDescriptor;
    std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR> Partials;
    NTSTATUS Expected;
  };
  const TCase Cases[] = {
      {"absent", true, false, {}, STATUS_SUCCESS},
      {"empty", false, true, {}, STATUS_SUCCESS},
      {"no partial descriptors", false, false, {}, STATUS_SUCCESS},
      {"an I/O port and an interrupt", false, false, {Partial(CmResourceTypePort, CM_RESOURCE_PORT_IO), Interrupt}, STATUS_SUCCESS},
      {"two memory ranges", false, false, {Partial(CmResourceTypeMemory), Partial(CmResourceTypeMemory)},
       STATUS_DEVICE_CONFIGURATION_ERROR},
      {"a port and a memory range", false, false, {Partial(CmResourceTypePort), Partial(CmResourceTypeMemory)},
       STATUS_DEVICE_CONFIGURATION_ERROR},
      {"a DMA channel", false, false, {Partial(CmResourceTypeDma)}, STATUS_DEVICE_CONFIGURATION_ERROR},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TDriverRig R(TUsbBus::TConfig{.Completion = GetParam()});
    ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
    std::vector<uint8_t> Bytes = ResourceList(Case.Partials);
    auto* List = reinterpret_cast<PCM_RESOURCE_LIST>(Bytes.data());
    if (Case.NoFullDescriptor) List->Count = 0;
    EXPECT_EQ(R.Pnp.Start(R.Bus, Case.Absent ? nullptr : List), Case.Expected);
    bool Running = NT_SUCCESS(Case.Expected);
    EXPECT_EQ(R.Extension()->Started, Running);
    EXPECT_EQ(R.Extension()->RejectRequests, !Running);
    EXPECT_EQ(R.InterfaceEnabled(), Running);
    EXPECT_TRUE(IdleAgain(R));
  }
}

TEST_P(PnpTest, StartRecordsAPortRangeAndALatchedInterrupt) {
  TDriverRig& R = Rig();
  CM_PARTIAL_RESOURCE_DESCRIPTOR Interrupt{};
  Interrupt.Type = CmResourceTypeInterrupt;
  Interrupt.Flags = CM_RESOURCE_INTERRUPT_LATCHED;
  Interrupt.u.Interrupt.Level = 0x1205;
  Interrupt.u.Interrupt.Vector = 0x51;
  Interrupt.u.Interrupt.Affinity = 3;
  std::vector<uint8_t> Bytes = ResourceList({Partial(CmResourceTypePort, CM_RESOURCE_PORT_IO), Interrupt});
  ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
  ASSERT_EQ(R.Pnp.Start(R.Bus, reinterpret_cast<PCM_RESOURCE_LIST>(Bytes.data())), STATUS_SUCCESS);
  PDEVICE_EXTENSION X = R.Extension();
  EXPECT_TRUE(X->RangeFound);
  EXPECT_TRUE(X->RangeInIoSpace);
  EXPECT_FALSE(X->RangeInMemory);
  EXPECT_EQ(X->RangeStart.QuadPart, 0xFED00000);
  EXPECT_EQ(X->RangeLength, 0x400u);
  EXPECT_TRUE(X->InterruptFound);
  EXPECT_EQ(X->InterruptLevel, 0x05) << "the level keeps its low 8 bits";
  EXPECT_EQ(X->InterruptVector, 0x51u);
  EXPECT_EQ(X->InterruptAffinity, 3u);
  EXPECT_EQ(X->InterruptMode, Latched);
}

TEST_P(PnpTest, AFailedStartBelowIsPassedOnAndTheDeviceStaysClosed) {
  TDriverRig& R = Rig(TUsbBus::TConfig{.StartStatus = STATUS_INSUFFICIENT_RESOURCES});
  ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
  EXPECT_EQ(R.Pnp.Start(R.Bus), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_FALSE(R.Extension()->Started);
  EXPECT_FALSE(R.InterfaceEnabled());
  EXPECT_TRUE(IdleAgain(R));
}

TEST_P(PnpTest, AddDeviceFailuresLeaveNothingBehind) {
  struct TCase {
    const char* What;
    std::function<void(TDriverRig&)> Arrange;
    NTSTATUS Expected;
  };
  const TCase Cases[] = {
      {"the port is going away", [](TDriverRig& R) { R.Bus.SetDeletePending(true); }, STATUS_NO_SUCH_DEVICE},
      {"no device object", [](TDriverRig&) { TKit::FailCreateDevice(STATUS_INSUFFICIENT_RESOURCES); },
       STATUS_INSUFFICIENT_RESOURCES},
      {"no interface", [](TDriverRig&) { TKit::FailRegisterInterface(STATUS_INVALID_DEVICE_REQUEST); },
       STATUS_INVALID_DEVICE_REQUEST},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    {
      TDriverRig R(TUsbBus::TConfig{.Completion = GetParam()});
      Case.Arrange(R);
      EXPECT_EQ(R.Pnp.AddDevice(R.Bus), Case.Expected);
      EXPECT_EQ(R.Pnp.FunctionDevice(R.Bus), nullptr);
      EXPECT_EQ(R.Pnp.Driver()->DeviceObject, nullptr);
      EXPECT_TRUE(R.Bus.Requests().empty()) << "no USB request without a device";
      TKit::FailCreateDevice(STATUS_SUCCESS);
      TKit::FailRegisterInterface(STATUS_SUCCESS);
    }
    EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
  }
}

TEST_P(PnpTest, DeviceControlCompletesAtOnceWithNoData) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  TIoFile* File = nullptr;
  ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  std::vector<uint8_t> In = {1, 2, 3}, Out(16, 0xAA);
  for (ULONG Code : {0x220000u, 0x220004u, 0x22200Bu}) {
    ULONG_PTR Bytes = 99;
    EXPECT_EQ(TIoManager::DeviceControl(File, Code, In.data(), ULONG(In.size()), Out.data(), ULONG(Out.size()), &Bytes),
              STATUS_SUCCESS);
    EXPECT_EQ(Bytes, 0u);
    EXPECT_EQ(Out, std::vector<uint8_t>(16, 0xAA));
  }
  EXPECT_TRUE(R.Bus.Transfers().empty());
  TIoManager::Close(File);
}

TEST_P(PnpTest, PowerRequestsReachTheBusUnchanged) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  struct TCase {
    UCHAR Minor;
    POWER_STATE_TYPE Type;
    int State;
    POWER_ACTION Action;
  };
  const TCase Cases[] = {
      {IRP_MN_SET_POWER, DevicePowerState, PowerDeviceD3, PowerActionNone},
      {IRP_MN_SET_POWER, SystemPowerState, PowerSystemSleeping3, PowerActionSleep},
      {IRP_MN_QUERY_POWER, SystemPowerState, PowerSystemHibernate, PowerActionHibernate},
      {IRP_MN_SET_POWER, DevicePowerState, PowerDeviceD0, PowerActionNone},
      {IRP_MN_WAIT_WAKE, SystemPowerState, PowerSystemSleeping1, PowerActionNone},
      {IRP_MN_POWER_SEQUENCE, DevicePowerState, 0, PowerActionNone},
  };
  ULONG Context = 0x5000;
  for (const TCase& Case : Cases) {
    POWER_STATE State;
    State.DeviceState = DEVICE_POWER_STATE(Case.State);
    PIRP Sent = nullptr;
    long Started = TKit::PowerIrpsStarted();
    EXPECT_EQ(R.Pnp.Power(R.Bus, Case.Minor, Case.Type, State, Case.Action, ++Context, &Sent), STATUS_SUCCESS);
    ASSERT_FALSE(R.Bus.PowerRequests().empty());
    TPowerRequest Seen = R.Bus.PowerRequests().back();
    EXPECT_EQ(Seen.Irp, Sent);
    EXPECT_EQ(Seen.MinorFunction, Case.Minor);
    EXPECT_EQ(Seen.Type, Case.Type);
    EXPECT_EQ(Seen.State.DeviceState, State.DeviceState);
    EXPECT_EQ(Seen.ShutdownType, Case.Action);
    EXPECT_EQ(Seen.SystemContext, Context);
    EXPECT_EQ(TKit::PowerIrpsStarted() - Started, 2) << "the driver and the bus each start the next power request";
    EXPECT_TRUE(IdleAgain(R));
  }
  EXPECT_EQ(R.Bus.PowerRequests().size(), std::size(Cases));
}

TEST_P(PnpTest, OtherPlugAndPlayRequestsGoDownUnchanged) {
  TDriverRig& R = Rig();
  R.AddAndStart();
  EXPECT_EQ(R.Pnp.Send(R.Bus, IRP_MN_QUERY_PNP_DEVICE_STATE), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(R.Bus.PnpRequests().back(), IRP_MN_QUERY_PNP_DEVICE_STATE);
  EXPECT_TRUE(IdleAgain(R));
}

}  // namespace
