// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/LinkOptions.h"

#include <cstdint>
#include <cstdio>

#include "core/link/PacketSink.h"

#include "core/support/NumberText.h"

namespace {

bool StartsWith(const std::string& Text, const std::string& Prefix) { return Text.compare(0, Prefix.size(), Prefix) == 0; }

// One to four hexadecimal digits, nothing else.
bool ParseUsbNumber(const std::string& Text, uint16_t& Value) {
  if (Text.empty() || Text.size() > 4) return false;
  unsigned Result = 0;
  for (char C : Text) {
    unsigned Digit;
    if (C >= '0' && C <= '9') Digit = static_cast<unsigned>(C - '0');
    else if (C >= 'a' && C <= 'f') Digit = static_cast<unsigned>(C - 'a' + 10);
    else if (C >= 'A' && C <= 'F') Digit = static_cast<unsigned>(C - 'A' + 10);
    else return false;
    Result = Result * 16 + Digit;
  }
  Value = static_cast<uint16_t>(Result);
  return true;
}

// Arg is Name exactly, or Name followed by "=" and a value.
bool IsOption(const std::string& Arg, const std::string& Name) {
  return Arg == Name || StartsWith(Arg, Name + "=");
}

}  // namespace

bool ParseLinkOption(const std::string& Arg, TLinkOptions& Options, std::string& Error) {
  Error.clear();
  if (IsOption(Arg, "--writes-in-flight")) {
    const std::string Value = Arg.size() > 19 ? Arg.substr(19) : std::string();
    uint64_t Count = 0;
    if (!ParseUnsignedUpTo(Value, MaxWritesInFlight, Count) || Count == 0) {
      Error = Arg + ": expected --writes-in-flight=N, the write packets kept in flight (1 to " +
              std::to_string(MaxWritesInFlight) + ")";
      return true;
    }
    Options.WritesInFlight = static_cast<unsigned>(Count);
    return true;
  }
  if (IsOption(Arg, "--emulate-timing")) {
    uint64_t Latency = 1000;
    if (Arg != "--emulate-timing" && (!ParseUnsignedUpTo(Arg.substr(17), 1000000, Latency) || Latency == 0)) {
      Error = Arg + ": expected --emulate-timing or --emulate-timing=US, the microseconds after which the "
                    "host sees a transfer end (1 to 1000000; 1000, one USB frame, by default)";
      return true;
    }
    Options.EmulateTimingLatencyUs = static_cast<uint32_t>(Latency);
    return true;
  }
  if (IsOption(Arg, "--emulate-unplug-after")) {
    const std::string Value = Arg.size() > 23 ? Arg.substr(23) : std::string();
    uint64_t Count = 0;
    if (!ParseUnsignedUpTo(Value, 1000000000, Count)) {
      Error = Arg + ": expected --emulate-unplug-after=N, the number of exchanges before the cable is pulled";
      return true;
    }
    Options.EmulateUnplugAfter = static_cast<long>(Count);
    return true;
  }
  // With a value it is the command line's one-shot flip of the next
  // read-back, which that program parses itself.
  if (Arg == "--emulate-flip") {
    Options.EmulateFlip = true;
    return true;
  }
  if (IsOption(Arg, "--emulate-weak-cell")) {
    const std::string Value = Arg.size() > 20 ? Arg.substr(20) : std::string();
    const size_t Colon = Value.find(':');
    uint64_t Address = 0, Mask = 0;
    if (Colon == std::string::npos || !ParseUnsignedUpTo(Value.substr(0, Colon), 0x7FFFFF, Address) ||
        !ParseUnsignedUpTo(Value.substr(Colon + 1), 0xFF, Mask) || Mask == 0) {
      Error = Arg + ": expected --emulate-weak-cell=ADDRESS:MASK (a flash ADDRESS below 0x800000, MASK 1 to 0xFF)";
      return true;
    }
    Options.EmulateWeakCell = TEmulatedWeakCell{static_cast<uint32_t>(Address), static_cast<uint8_t>(Mask)};
    return true;
  }
  if (IsOption(Arg, "--emulate")) {
    if (Arg == "--emulate") {
      Options.Emulate = true;
      Options.EmulateDir.clear();
      return true;
    }
    const std::string Dir = Arg.substr(sizeof("--emulate=") - 1);
    if (Dir.empty()) {
      Error = "--emulate=: the card folder is missing; give --emulate for the default folder or --emulate=DIR";
      return true;
    }
    Options.Emulate = true;
    Options.EmulateDir = Dir;
    return true;
  }
  if (IsOption(Arg, "--usb")) {
    const std::string Value = Arg == "--usb" ? std::string() : Arg.substr(sizeof("--usb=") - 1);
    const size_t Colon = Value.find(':');
    uint16_t Vendor = 0, Product = 0;
    if (Colon == std::string::npos || !ParseUsbNumber(Value.substr(0, Colon), Vendor) ||
        !ParseUsbNumber(Value.substr(Colon + 1), Product)) {
      Error = "--usb=" + Value +
              ": expected the cable's USB vendor and product numbers as VVVV:PPPP, "
              "up to four hexadecimal digits each (for example --usb=b1d9:0c01)";
      return true;
    }
    Options.UsbVendor = Vendor;
    Options.UsbProduct = Product;
    return true;
  }
  if (IsOption(Arg, "--trace")) {
    const std::string File = Arg == "--trace" ? std::string() : Arg.substr(sizeof("--trace=") - 1);
    if (File.empty()) {
      Error = Arg + ": the trace file name is missing; give --trace=FILE";
      return true;
    }
    Options.TraceFile = File;
    return true;
  }
  return false;
}

std::string CheckLinkOptions(const TLinkOptions& Options) {
  if (!Options.Emulate && Options.EmulateUnplugAfter)
    return "--emulate-unplug-after is a test aid of the emulated cable; it needs --emulate";
  if (!Options.Emulate && Options.EmulateWeakCell)
    return "--emulate-weak-cell is a test aid of the emulated cable; it needs --emulate";
  if (!Options.Emulate && Options.EmulateFlip)
    return "--emulate-flip is a test aid of the emulated cable; it needs --emulate";
  if (!Options.Emulate && Options.EmulateTimingLatencyUs)
    return "--emulate-timing is a model of the emulated cable; it needs --emulate";
  if (Options.Emulate && (Options.UsbVendor || Options.UsbProduct))
    return "--emulate and --usb exclude each other: choose the emulated cable or the real one";
  return {};
}

std::string LinkTestAidsUsage() {
  return "Test aids (only with --emulate), to rehearse faults:\n"
         "  --emulate-unplug-after=N\n"
         "                    the cable is pulled after N exchanges (each command sent\n"
         "                    and each reply counts as one)\n"
         "  --emulate-weak-cell=ADDRESS:MASK\n"
         "                    a worn flash cell: every write to flash ADDRESS stores the\n"
         "                    byte with the bits of MASK flipped (ADDRESS and MASK decimal\n"
         "                    or 0x hexadecimal)\n"
         "  --emulate-flip    a poor contact: every second read of flash or save RAM\n"
         "                    answers with one bit flipped\n";
}

std::string LinkOptionsUsage() {
  return "  --emulate[=DIR]   use the cable and card in software; the card is kept in DIR\n"
         "                    (default: the card folder in the user's data folder)\n"
         "  --usb=VVVV:PPPP   the cable's USB vendor and product numbers (hexadecimal)\n"
         "  --emulate-timing[=US]\n"
         "                    with --emulate: the cable timed as a real one on USB full\n"
         "                    speed would be (a model on a simulated clock; nothing waits),\n"
         "                    the host seeing a transfer end every US microseconds (default\n"
         "                    1000, one frame); each operation ends with the cable's time\n"
         "  --trace=FILE      write every transfer to FILE, one line each\n"
         "  --writes-in-flight=N\n"
         "                    write packets kept under way at once where the transport can\n"
         "                    (1: one at a time; default " +
         std::to_string(DefaultWritesInFlight) + ")\n";
}

std::string SimulatedTimeText(int64_t Before, int64_t After) {
  if (Before < 0 || After < 0) return {};
  char Text[64];
  std::snprintf(Text, sizeof Text, "Cable time (simulated): %.3f s", static_cast<double>(After - Before) / 1e9);
  return Text;
}
