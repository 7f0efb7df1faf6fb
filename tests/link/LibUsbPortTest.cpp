// SPDX-License-Identifier: GPL-3.0-or-later
// The USB transport on a machine without the cable: every step fails
// cleanly, with the platform's error numbers.
#include <gtest/gtest.h>

#include <cerrno>

#include "core/link/LibUsbErrors.h"
#include "core/link/LibUsbLinkPort.h"
#include "core/link/Link.h"
#include "core/link/UsbIds.h"
#include "tests/support/TestFrontEnd.h"

#include <libusb.h>

TEST(LibUsbLinkPort, NoCablePresent) {
  auto Port = MakeLibUsbLinkPort(DefaultUsbVendor, DefaultUsbProduct);
  TTestFrontEnd FrontEnd;
  EXPECT_EQ(Port->Open(), -1);
  EXPECT_NE(Port->LastError(), 0);
  EXPECT_TRUE(FrontEnd.Captions.empty());

  uint8_t Buffer[9] = {};
  EXPECT_EQ(Port->Write(Buffer, 9), -1);
  EXPECT_EQ(Port->LastError(), EBADF);
  EXPECT_EQ(Port->Read(Buffer, 4), -1);
  EXPECT_EQ(Port->LastError(), EBADF);
  Port->Close();
  Port->Close();

  int Changes = 0;
  Port->SetDeviceChangeHandler([&Changes] { ++Changes; });
  Port->PollDeviceEvents();
  EXPECT_EQ(Changes, 0);
  EXPECT_EQ(Port->Describe(), "USB b1d9:0c01");

  // Through TLink: no link, and nothing shown while no link exists.
  TSharedState State;
  TLink Link(*Port, State, FrontEnd);
  EXPECT_FALSE(Link.Reconnect());
  EXPECT_EQ(Link.LinkHandle(), 0);
  EXPECT_FALSE(Link.IdentifyChip().Asked);
  EXPECT_FALSE(Link.ReadBlock(0, 512, cmdReadRom, Buffer));
  EXPECT_EQ(FrontEnd.StatusWrites, 0);
  // The unguarded exchanges fail and report.
  EXPECT_EQ(Link.ReadChipId(), 0);
  EXPECT_EQ(FrontEnd.Panels[1], "Error Code: " + std::to_string(EBADF));
}

TEST(LibUsbLinkPort, ErrorsMapToErrnoNumbers) {
  const struct {
    int LibUsb, Errno;
  } Cases[] = {
      {LIBUSB_SUCCESS, 0},
      {LIBUSB_ERROR_IO, EIO},
      {LIBUSB_ERROR_INVALID_PARAM, EINVAL},
      {LIBUSB_ERROR_ACCESS, EACCES},
      {LIBUSB_ERROR_NO_DEVICE, ENODEV},
      {LIBUSB_ERROR_NOT_FOUND, ENOENT},
      {LIBUSB_ERROR_BUSY, EBUSY},
      {LIBUSB_ERROR_TIMEOUT, ETIMEDOUT},
      {LIBUSB_ERROR_OVERFLOW, EOVERFLOW},
      {LIBUSB_ERROR_PIPE, EPIPE},
      {LIBUSB_ERROR_INTERRUPTED, EINTR},
      {LIBUSB_ERROR_NO_MEM, ENOMEM},
      {LIBUSB_ERROR_NOT_SUPPORTED, ENOSYS},
      {LIBUSB_ERROR_OTHER, EIO},
      {-1234, EIO},
  };
  for (const auto& C : Cases) EXPECT_EQ(LibUsbErrorToPlatform(C.LibUsb), C.Errno) << C.LibUsb;
}
