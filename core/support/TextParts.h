// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The first / last N characters of S (bytes of the UTF-8 text): all of S
// when N is at least its length, empty when N <= 0.
std::string LeftChars(const std::string& S, int N);
std::string RightChars(const std::string& S, int N);
