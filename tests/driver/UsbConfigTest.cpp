// SPDX-License-Identifier: GPL-3.0-or-later
// The USB set-up run when the device is added: the port check and reset, the
// configuration descriptor, the selection and the pipes reads and writes use.
#include "tests/driver/DriverRig.h"

namespace {

using UsbConfigTest = DriverTest;
FQ_DRIVER_TEST_MODES(UsbConfigTest);

TEST_P(UsbConfigTest, ThePortIsResetOnlyWhenConnectedButNotEnabled) {
  struct TCase {
    const char* What;
    bool Connected, Enabled, EnabledAfterReset;
    NTSTATUS QueryResult;
    int Queries, Resets;
    NTSTATUS Expected;
  };
  const TCase Cases[] = {
      {"connected and enabled", true, true, true, STATUS_SUCCESS, 1, 0, STATUS_SUCCESS},
      {"connected, enabled by the reset", true, false, true, STATUS_SUCCESS, 2, 1, STATUS_SUCCESS},
      {"connected, still disabled after the reset", true, false, false, STATUS_SUCCESS, 2, 1, STATUS_NO_SUCH_DEVICE},
      {"not connected", false, false, false, STATUS_SUCCESS, 1, 0, STATUS_NO_SUCH_DEVICE},
      {"the query fails", true, true, true, STATUS_UNSUCCESSFUL, 1, 0, STATUS_UNSUCCESSFUL},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TUsbBus::TConfig Config;
    Config.Connected = Case.Connected;
    Config.Enabled = Case.Enabled;
    Config.EnabledAfterReset = Case.EnabledAfterReset;
    Config.PortStatusResult = Case.QueryResult;
    Config.Completion = GetParam();
    TDriverRig R(Config);
    // The add runs the check; its result does not stop the add.
    ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
    EXPECT_EQ(R.Bus.PortStatusQueries(), Case.Queries);
    EXPECT_EQ(R.Bus.PortResets(), Case.Resets);
    // Run again by hand to see the status: a port already reset and enabled
    // is not reset a second time.
    int Resets = R.Bus.PortResets();
    EXPECT_EQ(CheckAndResetPort(R.Extension()), Case.Expected);
    EXPECT_EQ(R.Bus.PortResets() - Resets, Case.Resets && !Case.EnabledAfterReset ? 1 : 0);
  }
}

TEST_P(UsbConfigTest, TheCablesConfigurationGivesThePipesOf0x81And0x02) {
  TDriverRig& R = Rig();
  ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
  std::vector<TUsbRequest> Descriptors;
  for (auto& Request : R.Bus.Requests())
    if (Request.UrbFunction == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE) Descriptors.push_back(Request);
  ASSERT_EQ(Descriptors.size(), 1u) << "39 bytes hold the whole configuration";
  EXPECT_EQ(Descriptors[0].DescriptorType, USB_CONFIGURATION_DESCRIPTOR_TYPE);
  EXPECT_EQ(Descriptors[0].RequestedLength, 39u);
  EXPECT_EQ(Descriptors[0].MovedLength, 39u);

  PDEVICE_EXTENSION X = R.Extension();
  ASSERT_NE(X->InterfaceInfo, nullptr);
  EXPECT_NE(X->ConfigurationHandle, nullptr);
  EXPECT_EQ(X->InterfaceInfo->NumberOfPipes, 3u);
  EXPECT_EQ(X->InterfaceInfo->Pipes[X->BulkInPipeIndex].EndpointAddress, 0x81);
  EXPECT_EQ(X->InterfaceInfo->Pipes[X->BulkOutPipeIndex].EndpointAddress, 0x02);
  EXPECT_EQ(X->BulkOutPipeIndex, 0u);
  EXPECT_EQ(X->BulkInPipeIndex, 1u);
  for (ULONG Pipe = 0; Pipe < 3; ++Pipe) EXPECT_EQ(X->InterfaceInfo->Pipes[Pipe].MaximumTransferSize, 1024u);
}

TEST_P(UsbConfigTest, AMissingEndpointLeavesItsPipeIndexAtZero) {
  struct TCase {
    const char* What;
    std::vector<std::pair<UCHAR, UCHAR>> Endpoints;
    UCHAR ReadEndpoint, WriteEndpoint;
  };
  const TCase Cases[] = {
      {"no 0x81", {{0x82, USB_ENDPOINT_TYPE_BULK}, {0x02, USB_ENDPOINT_TYPE_BULK}, {0x83, USB_ENDPOINT_TYPE_INTERRUPT}}, 0x82, 0x02},
      {"no 0x02", {{0x04, USB_ENDPOINT_TYPE_BULK}, {0x81, USB_ENDPOINT_TYPE_BULK}}, 0x81, 0x04},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TUsbBus::TConfig Config;
    Config.ConfigurationDescriptor = TUsbBus::Configuration(Case.Endpoints);
    Config.Completion = GetParam();
    TDriverRig R(Config);
    R.AddAndStart();
    TIoFile* File = nullptr;
    ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
    R.Cable.QueueReply({1, 2, 3, 4});
    std::vector<uint8_t> Buffer(4);
    EXPECT_EQ(R.Read(File, Buffer), STATUS_SUCCESS);
    EXPECT_EQ(R.Write(File, std::vector<uint8_t>(9, 'D')), STATUS_SUCCESS);
    auto Transfers = R.Bus.Transfers();
    ASSERT_EQ(Transfers.size(), 2u);
    EXPECT_EQ(Transfers[0].Endpoint, Case.ReadEndpoint);
    EXPECT_EQ(Transfers[1].Endpoint, Case.WriteEndpoint);
    TIoManager::Close(File);
  }
}

TEST_P(UsbConfigTest, TheDescriptorIsParsedOnlyWithinTheBytesReceived) {
  std::vector<uint8_t> Longer = TUsbBus::Configuration({{0x02, USB_ENDPOINT_TYPE_BULK},
                                                        {0x81, USB_ENDPOINT_TYPE_BULK},
                                                        {0x83, USB_ENDPOINT_TYPE_INTERRUPT},
                                                        {0x84, USB_ENDPOINT_TYPE_BULK}});
  // Claims 64 bytes but the device has only the 39 it sends.
  std::vector<uint8_t> Overstated = TUsbBus::CableConfiguration();
  Overstated[2] = 64;
  struct TCase {
    const char* What;
    std::vector<uint8_t> Descriptor;
    std::vector<ULONG> Requested;
    ULONG Pipes;
  };
  const TCase Cases[] = {
      {"a 46-byte configuration is read again whole", Longer, {39, 46}, 4},
      {"an overstated total length", Overstated, {39, 64}, 3},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TUsbBus::TConfig Config;
    Config.ConfigurationDescriptor = Case.Descriptor;
    Config.Completion = GetParam();
    TDriverRig R(Config);
    ASSERT_EQ(R.Pnp.AddDevice(R.Bus), STATUS_SUCCESS);
    std::vector<ULONG> Requested;
    for (auto& Request : R.Bus.Requests())
      if (Request.UrbFunction == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE) Requested.push_back(Request.RequestedLength);
    EXPECT_EQ(Requested, Case.Requested);
    ASSERT_NE(R.Extension()->InterfaceInfo, nullptr);
    EXPECT_EQ(R.Extension()->InterfaceInfo->NumberOfPipes, Case.Pipes);
    EXPECT_NE(R.Extension()->ConfigurationHandle, nullptr);
    EXPECT_EQ(TKit::Faults(), std::vector<std::string>{});
  }
}

TEST_P(UsbConfigTest, WithoutAConfigurationReadsAndWritesFailWithoutTouchingThePipes) {
  struct TCase {
    const char* What;
    std::function<void(TUsbBus::TConfig&)> Arrange;
    bool InterfaceSaved;
    NTSTATUS Expected;
  };
  const TCase Cases[] = {
      {"the descriptor request stalls", [](TUsbBus::TConfig& C) { C.DescriptorUsbdStatus = USBD_STATUS_STALL_PID; },
       false, STATUS_INVALID_DEVICE_STATE},
      {"no interface descriptor", [](TUsbBus::TConfig& C) { C.ConfigurationDescriptor = {9, 2, 9, 0, 0, 1, 0, 0x80, 50}; },
       false, STATUS_INVALID_DEVICE_STATE},
      {"a descriptor that is not a configuration", [](TUsbBus::TConfig& C) { C.ConfigurationDescriptor = {4, 3, 9, 4}; },
       false, STATUS_INVALID_DEVICE_STATE},
      {"the selection fails", [](TUsbBus::TConfig& C) { C.SelectUsbdStatus = USBD_STATUS_REQUEST_FAILED; },
       true, STATUS_INVALID_PARAMETER},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TUsbBus::TConfig Config;
    Case.Arrange(Config);
    Config.Completion = GetParam();
    TDriverRig R(Config);
    R.AddAndStart();
    EXPECT_EQ(R.Extension()->InterfaceInfo != nullptr, Case.InterfaceSaved);
    EXPECT_EQ(R.Extension()->ConfigurationHandle, nullptr);
    TIoFile* File = nullptr;
    ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
    std::vector<uint8_t> Buffer(4);
    ULONG_PTR Moved = 99;
    EXPECT_EQ(R.Read(File, Buffer, &Moved), Case.Expected);
    EXPECT_EQ(Moved, 0u);
    EXPECT_EQ(R.Write(File, std::vector<uint8_t>(9, 'D'), &Moved), Case.Expected);
    EXPECT_EQ(Moved, 0u);
    // With a saved interface the request reaches the bus, whose pipe
    // handles were never handed out.
    EXPECT_EQ(R.Bus.Transfers().size(), Case.InterfaceSaved ? 2u : 0u);
    EXPECT_TRUE(IdleAgain(R));
    TIoManager::Close(File);
  }
}

}  // namespace
