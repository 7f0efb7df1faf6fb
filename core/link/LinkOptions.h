// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How the program reaches a cable, from its command-line options:
//   --emulate[=DIR]   the cable and card in software, card kept in DIR
//   --usb=VVVV:PPPP   the real cable by USB vendor and product number
//   --trace=FILE      every transfer as one text line
//   --writes-in-flight=N   write packets kept in flight where the port can
//   --emulate-timing[=US]  the emulated cable timed as a real one would be,
//                          completions seen every US microseconds (1000)
// and two faults to rehearse with on the emulated cable only:
//   --emulate-unplug-after=N              the cable is pulled after N exchanges
//   --emulate-weak-cell=ADDRESS:MASK      a worn flash cell at ADDRESS
//   --emulate-flip                        a poor contact: every second read has one bit flipped
struct TEmulatedWeakCell {
  uint32_t Address = 0;   // flash address, below 8 MiB
  uint8_t Mask = 0;       // the bits flipped in every value programmed there (1 to 0xFF)
};

struct TLinkOptions {
  bool Emulate = false;
  std::string EmulateDir;          // empty: the default folder in the user's data folder
  std::optional<uint16_t> UsbVendor, UsbProduct;
  std::string TraceFile;
  std::optional<long> EmulateUnplugAfter;        // transfers (one OUT or IN each) before the cable is pulled
  std::optional<TEmulatedWeakCell> EmulateWeakCell;
  bool EmulateFlip = false;
  std::optional<unsigned> WritesInFlight;        // 1 to MaxWritesInFlight
  std::optional<uint32_t> EmulateTimingLatencyUs;   // the timing model's completion interval
};

// The end of an operation on a timed emulated cable, for both programs:
// "Cable time (simulated): 60.6 s" for a port that keeps simulated time and
// has moved it on since Before (nanoseconds); empty otherwise.
std::string SimulatedTimeText(int64_t Before, int64_t After);

// Takes one command-line argument. False when Arg is none of the options
// above (the caller handles it). True when it is one of them: then either
// Options is updated and Error is empty, or the value is malformed, Error
// says why and Options is left as it was.
bool ParseLinkOption(const std::string& Arg, TLinkOptions& Options, std::string& Error);

// The options together: the fault rehearsals need --emulate, and --emulate
// and --usb exclude each other. Empty when they agree, else one line saying
// what is wrong. Both programs call it after parsing.
std::string CheckLinkOptions(const TLinkOptions& Options);

// One line per option, for a usage text.
std::string LinkOptionsUsage();
// The test aids of the emulated cable, for a usage text; both programs'
// --help show them.
std::string LinkTestAidsUsage();
