// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/SizeArgument.h"

#include <cctype>

namespace {

bool Digits(const std::string& Text, uint64_t& Value, int Base) {
  if (Text.empty() || Text.size() > 12) return false;
  uint64_t Result = 0;
  for (char C : Text) {
    const int Lower = std::tolower(static_cast<unsigned char>(C));
    int Digit;
    if (Lower >= '0' && Lower <= '9') Digit = Lower - '0';
    else if (Base == 16 && Lower >= 'a' && Lower <= 'f') Digit = Lower - 'a' + 10;
    else return false;
    Result = Result * static_cast<uint64_t>(Base) + static_cast<uint64_t>(Digit);
  }
  Value = Result;
  return true;
}

}  // namespace

bool ParseSizeArgument(const std::string& Text, uint32_t& Bytes) {
  std::string Upper;
  for (char C : Text) Upper += static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  uint64_t Value = 0;
  // "1024K(1M)": the part in brackets must say the same as the part before.
  const size_t Open = Upper.find('(');
  if (Open != std::string::npos) {
    uint32_t Outer = 0, Inner = 0;
    if (Upper.back() != ')' || !ParseSizeArgument(Upper.substr(0, Open), Outer) ||
        !ParseSizeArgument(Upper.substr(Open + 1, Upper.size() - Open - 2), Inner) || Outer != Inner ||
        Upper.substr(0, Open).back() != 'K')
      return false;
    Bytes = Outer;
    return true;
  }
  if (Upper.size() > 2 && Upper[0] == '0' && Upper[1] == 'X') {
    if (!Digits(Upper.substr(2), Value, 16)) return false;
  } else if (!Upper.empty() && (Upper.back() == 'K' || Upper.back() == 'M')) {
    if (!Digits(Upper.substr(0, Upper.size() - 1), Value, 10)) return false;
    Value *= Upper.back() == 'K' ? 1024 : 1024 * 1024;
  } else if (!Digits(Upper, Value, 10)) {
    return false;
  }
  if (Value > MaxRawReadSize) return false;
  Bytes = static_cast<uint32_t>(Value);
  return true;
}
