// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// USB device arrivals and removals straight from the Linux kernel (its
// uevent netlink socket), for machines where no udev daemon runs: libusb's
// own hot-plug notices come from udev there and would never arrive, and its
// device list would keep showing the cable as it was when libusb started.
class TKernelUsbEvents {
public:
  TKernelUsbEvents();
  ~TKernelUsbEvents();
  TKernelUsbEvents(const TKernelUsbEvents&) = delete;
  TKernelUsbEvents& operator=(const TKernelUsbEvents&) = delete;

  bool Listening() const { return FSocket >= 0; }
  // Reads what has arrived without waiting; true when a USB device came or
  // went since the last call.
  bool TakeDeviceChanges();

  // True when a udev daemon is running on this machine.
  static bool UdevRunning();

private:
  int FSocket = -1;
};
