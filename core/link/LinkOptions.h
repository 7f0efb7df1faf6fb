#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How the program reaches a cable, from its command-line options:
//   --emulate[=DIR]   the cable and card in software, card kept in DIR
//   --usb=VVVV:PPPP   the real cable by USB vendor and product number
//   --trace=FILE      every transfer as one text line
struct TLinkOptions {
  bool Emulate = false;
  std::string EmulateDir;          // empty: the default folder in the user's data folder
  std::optional<uint16_t> UsbVendor, UsbProduct;
  std::string TraceFile;
};

// Takes one command-line argument. False when Arg is none of the options
// above (the caller handles it). True when it is one of them: then either
// Options is updated and Error is empty, or the value is malformed, Error
// says why and Options is left as it was.
bool ParseLinkOption(const std::string& Arg, TLinkOptions& Options, std::string& Error);

// One line per option, for a usage text.
std::string LinkOptionsUsage();
