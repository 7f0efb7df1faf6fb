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
