// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/usbcable/FunctionFsCable.h"

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

#include "emulator/usbcable/FunctionFsDescriptors.h"

namespace {

std::string ErrnoText() { return std::strerror(errno); }

bool WriteAll(int File, const std::vector<uint8_t>& Bytes) {
  return ::write(File, Bytes.data(), Bytes.size()) == static_cast<ssize_t>(Bytes.size());
}

}  // namespace

TFunctionFsCable::TFunctionFsCable(TCableEmulator& Cable, std::string FunctionFsDir)
    : FCable(Cable), FDir(std::move(FunctionFsDir)) {}

TFunctionFsCable::~TFunctionFsCable() {
  for (int File : {FIn, FOut, FControl})
    if (File >= 0) ::close(File);
}

bool TFunctionFsCable::Start(std::string& Error) {
  const std::string Control = FDir + "/ep0";
  FControl = ::open(Control.c_str(), O_RDWR);
  if (FControl < 0) {
    Error = Control + ": " + ErrnoText() +
            (errno == ENOENT ? " (is FunctionFS mounted there? mount -t functionfs NAME " + FDir + ")" : "");
    return false;
  }
  if (!WriteAll(FControl, FunctionFsDescriptors()) || !WriteAll(FControl, FunctionFsStrings())) {
    Error = Control + ": the descriptors were refused: " + ErrnoText() +
            " (a FunctionFS instance takes them once; is another cable serving it?)";
    return false;
  }
  const std::string Out = FDir + "/" + CableOutEndpointFile;
  const std::string In = FDir + "/" + CableInEndpointFile;
  FOut = ::open(Out.c_str(), O_RDONLY);
  if (FOut < 0) {
    Error = Out + ": the bulk OUT endpoint cannot be opened: " + ErrnoText();
    return false;
  }
  FIn = ::open(In.c_str(), O_WRONLY);
  if (FIn < 0) {
    Error = In + ": the bulk IN endpoint cannot be opened: " + ErrnoText();
    return false;
  }
  return true;
}

// ep0 tells when the host configured the function (the cable is plugged in)
// and when the gadget was unbound or the host went away (pulled out).
void TFunctionFsCable::WatchEvents() {
  usb_functionfs_event Events[4];
  for (;;) {
    const ssize_t Got = ::read(FControl, Events, sizeof Events);
    if (Got < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (size_t I = 0; I < static_cast<size_t>(Got) / sizeof Events[0]; ++I) {
      switch (Events[I].type) {
      case FUNCTIONFS_ENABLE: {
        usb_endpoint_descriptor Active{};
        if (::ioctl(FIn, FUNCTIONFS_ENDPOINT_DESC, &Active) == 0 && Active.wMaxPacketSize)
          FPacketSize = le16toh(Active.wMaxPacketSize) & 0x7FF;
        FCable.Plug();
        break;
      }
      case FUNCTIONFS_DISABLE:
      case FUNCTIONFS_UNBIND:
        FCable.Unplug();
        break;
      case FUNCTIONFS_SETUP:
        // The cable answers no requests of its own on ep0: stall them. A
        // zero-length transfer against the request's direction does that.
        if (Events[I].u.setup.bRequestType & USB_DIR_IN)
          (void)!::read(FControl, nullptr, 0);
        else
          (void)!::write(FControl, nullptr, 0);
        break;
      default:
        break;
      }
    }
  }
}

// Everything the firmware queued for the host goes back as one IN transfer.
// A write that fails because the cable was pulled loses the rest, as the
// emulator itself dropped it on the unplug.
void TFunctionFsCable::Answer() {
  std::vector<uint8_t> Reply(TCableEmulator::MaxPendingReply);
  while (FCable.ReplyPending()) {
    const long Count = FCable.BulkIn(Reply.data(), Reply.size());
    if (Count <= 0) return;
    size_t Sent = 0;
    while (Sent < static_cast<size_t>(Count)) {
      size_t Piece = static_cast<size_t>(Count) - Sent;
      if (FSplit && Piece > FSplit) Piece = FSplit;
      const ssize_t Moved = ::write(FIn, Reply.data() + Sent, Piece);
      if (Moved < 0) {
        if (errno == EINTR) continue;
        return;
      }
      Sent += static_cast<size_t>(Moved);
    }
  }
}

void TFunctionFsCable::Serve(std::string& Error) {
  // Unplugged until the host enables the function.
  FCable.Unplug();
  std::thread(&TFunctionFsCable::WatchEvents, this).detach();
  // A command is at most one write packet; a bigger buffer keeps a longer
  // (malformed) transfer whole, so the firmware sees its true length.
  std::vector<uint8_t> Command(4096);
  unsigned Failures = 0;
  for (;;) {
    const ssize_t Got = ::read(FOut, Command.data(), Command.size());
    if (Got < 0) {
      // The endpoint goes away while the cable is unplugged; a read then
      // waits for it to be enabled again. Anything else repeating without
      // end means the function is gone for good.
      if (errno == EINTR || errno == ESHUTDOWN || errno == ECONNRESET || errno == ENODEV) {
        Failures = 0;
        continue;
      }
      if (++Failures > 100) {
        Error = FDir + "/" + CableOutEndpointFile + ": " + ErrnoText();
        return;
      }
      ::usleep(10000);
      continue;
    }
    Failures = 0;
    if (FCable.BulkOut(Command.data(), static_cast<size_t>(Got)) >= 0) Answer();
  }
}
