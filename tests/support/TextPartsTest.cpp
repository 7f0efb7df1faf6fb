// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "core/support/Paths.h"
#include "core/support/TextParts.h"

TEST(TextParts, LeftAndRightChars) {
  const struct {
    const char* Text;
    int N;
    const char* Left;
    const char* Right;
  } Cases[] = {
      {"abcdef", 2, "ab", "ef"}, {"abcdef", 6, "abcdef", "abcdef"}, {"abcdef", 9, "abcdef", "abcdef"},
      {"abcdef", 0, "", ""},     {"abcdef", -1, "", ""},            {"", 3, "", ""},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(LeftChars(C.Text, C.N), C.Left) << C.Text << ' ' << C.N;
    EXPECT_EQ(RightChars(C.Text, C.N), C.Right) << C.Text << ' ' << C.N;
  }
}

TEST(AddBackslash, AppendsThePlatformSeparatorOnce) {
  const std::string D(1, PathDelimiter);
  const struct {
    std::string Path, Expected;
  } Cases[] = {
      {"", ""},
      {"x", "x" + D},
      {"C:" + D + "x", "C:" + D + "x" + D},
      {"C:" + D + "x" + D, "C:" + D + "x" + D},
      {D, D},
  };
  for (const auto& C : Cases) EXPECT_EQ(AddBackslash(C.Path), C.Expected) << '"' << C.Path << '"';
}
