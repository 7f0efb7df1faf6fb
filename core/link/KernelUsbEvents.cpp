// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/KernelUsbEvents.h"

#ifdef __linux__
#include <cstring>
#include <string_view>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr unsigned KernelEventGroup = 1;   // uevents as the kernel sends them

// One uevent: "ACTION@DEVPATH" and then KEY=VALUE fields, each ended by NUL.
bool IsUsbDeviceChange(const char* Message, size_t Size) {
  bool Usb = false, Device = false, Change = false;
  for (size_t At = 0; At < Size;) {
    const std::string_view Field(Message + At, strnlen(Message + At, Size - At));
    if (Field == "SUBSYSTEM=usb") Usb = true;
    else if (Field == "DEVTYPE=usb_device") Device = true;
    else if (Field == "ACTION=add" || Field == "ACTION=remove") Change = true;
    At += Field.size() + 1;
  }
  return Usb && Device && Change;
}

}  // namespace

TKernelUsbEvents::TKernelUsbEvents() {
  FSocket = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
  if (FSocket < 0) return;
  sockaddr_nl Address{};
  Address.nl_family = AF_NETLINK;
  Address.nl_groups = KernelEventGroup;
  if (::bind(FSocket, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) {
    ::close(FSocket);
    FSocket = -1;
  }
}

TKernelUsbEvents::~TKernelUsbEvents() {
  if (FSocket >= 0) ::close(FSocket);
}

bool TKernelUsbEvents::TakeDeviceChanges() {
  if (FSocket < 0) return false;
  bool Changed = false;
  char Message[8192];
  for (;;) {
    const ssize_t Got = ::recv(FSocket, Message, sizeof Message, 0);
    if (Got <= 0) break;
    if (IsUsbDeviceChange(Message, static_cast<size_t>(Got))) Changed = true;
  }
  return Changed;
}

bool TKernelUsbEvents::UdevRunning() { return ::access("/run/udev/control", F_OK) == 0; }

#else

TKernelUsbEvents::TKernelUsbEvents() = default;
TKernelUsbEvents::~TKernelUsbEvents() = default;
bool TKernelUsbEvents::TakeDeviceChanges() { return false; }
// Elsewhere libusb watches the system's own device notices.
bool TKernelUsbEvents::UdevRunning() { return true; }

#endif
