// SPDX-License-Identifier: GPL-3.0-or-later
// flashquill-cable: the cable emulator as a USB device, through FunctionFS.
//
//   flashquill-cable [--card=DIR] [--split-replies=BYTES] FUNCTIONFS_DIR
//   flashquill-cable --usb-ids        the cable's vendor:product, for the gadget
//
// The card is the same pair of files that --emulate=DIR uses, so a card
// prepared through one is seen by the other.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/link/UsbIds.h"
#include "emulator/CableEmulator.h"
#include "emulator/CardDir.h"
#include "emulator/usbcable/FunctionFsCable.h"

namespace {

int Usage(std::FILE* To, int Code) {
  std::fprintf(To,
               "usage: flashquill-cable [--card=DIR] [--split-replies=BYTES] FUNCTIONFS_DIR\n"
               "       flashquill-cable --usb-ids\n"
               "Serves the emulated cable as a USB device through the FunctionFS instance\n"
               "mounted at FUNCTIONFS_DIR. The card is kept in DIR (default: %s).\n"
               "--split-replies=BYTES (test control) sends each reply in IN transfers of at\n"
               "most BYTES, so one reply reaches the host in several transfers.\n"
               "--usb-ids prints the cable's USB vendor and product numbers as VVVV:PPPP.\n",
               DefaultCardDir().c_str());
  return Code;
}

}  // namespace

int main(int argc, char** argv) {
  std::string CardDir = DefaultCardDir();
  std::string FunctionFsDir;
  size_t Split = 0;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--help" || Arg == "-h") return Usage(stdout, 0);
    if (Arg == "--usb-ids") {
      std::printf("%04x:%04x\n", DefaultUsbVendor, DefaultUsbProduct);
      return 0;
    }
    if (Arg.rfind("--card=", 0) == 0 && Arg.size() > 7) {
      CardDir = Arg.substr(7);
    } else if (Arg.rfind("--split-replies=", 0) == 0) {
      char* End = nullptr;
      const unsigned long Bytes = std::strtoul(Arg.c_str() + 16, &End, 10);
      if (Arg.size() == 16 || *End || Bytes == 0 || Bytes > TCableEmulator::MaxPendingReply) {
        std::fprintf(stderr, "flashquill-cable: %s: expected a number of bytes from 1 to %zu\n", Arg.c_str(),
                     TCableEmulator::MaxPendingReply);
        return 2;
      }
      Split = Bytes;
    } else if (!Arg.empty() && Arg[0] != '-' && FunctionFsDir.empty()) {
      FunctionFsDir = Arg;
    } else {
      std::fprintf(stderr, "flashquill-cable: unknown argument %s\n", Arg.c_str());
      return Usage(stderr, 2);
    }
  }
  if (FunctionFsDir.empty()) return Usage(stderr, 2);

  std::unique_ptr<TCard> Card;
  try {
    Card = std::make_unique<TCard>(CardDir);
  } catch (const std::exception& Failure) {
    std::fprintf(stderr, "flashquill-cable: %s\n", Failure.what());
    return 1;
  }
  TCableEmulator Cable(*Card);
  TFunctionFsCable Device(Cable, FunctionFsDir);
  Device.SplitReplies(Split);
  std::string Error;
  if (!Device.Start(Error)) {
    std::fprintf(stderr, "flashquill-cable: %s\n", Error.c_str());
    return 1;
  }
  std::fprintf(stderr, "flashquill-cable: serving the card in %s at %s\n", CardDir.c_str(), FunctionFsDir.c_str());
  Device.Serve(Error);
  std::fprintf(stderr, "flashquill-cable: %s\n", Error.c_str());
  return 1;
}
