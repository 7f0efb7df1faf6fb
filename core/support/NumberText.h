// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// The decimal text of Value with "0"s in front up to Width characters; a
// text already that long or longer is returned as it is.
std::string ZeroPad(int64_t Value, int Width);
// Digits and dots anywhere, a sign only first (and then the rest must pass
// again); a text that is blank after trimming does not pass.
bool IsNumberText(const std::string& S);
// Trimmed decimal text, or "0x" + hexadecimal (cut to 32 bits). Texts it
// does not accept give 0, among them decimals longer than 10 characters and
// anything that is not a whole number within 32 bits.
int32_t ParseNumber(const std::string& S);
// Hexadecimal text with an optional final "H"; more than 8 digits give 0.
// Characters are not checked: outside A-F each counts its code minus 48.
int64_t HexToInt(const std::string& S);
// The whole text as a decimal number, or hexadecimal after "0x", from 0 up
// to Limit; anything else (signs, blanks, a number above Limit) is refused.
// For option values, where a mistyped number must not pass as another one.
bool ParseUnsignedUpTo(const std::string& Text, uint64_t Limit, uint64_t& Value);
// S without leading and trailing characters of codes 0 to 32.
std::string TrimBlanks(const std::string& S);
