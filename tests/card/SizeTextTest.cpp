// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/card/SizeText.h"

#include <gtest/gtest.h>

namespace {

struct TSizeCase {
  int32_t Bytes;
  const char* Text;
};

// Kilobits below 128 KiB, megabits from there; halves rounded away from zero.
const TSizeCase SizeCases[] = {
    {0, "0K"},
    {64, "1K"},                   // 0.5 rounds up
    {-64, "-1K"},                 // and down below zero
    {1000, "8K"},                 // 7.8125
    {32768, "256K"},              // the smallest game
    {-32768, "-256K"},            // free space with no known chip
    {131071, "1024K"},            // still kilobits, rounded up to 1024
    {131072, "1M"},
    {0x200000 + 0x8000, "16M"},   // 16.25
    {0x200000 - 0x8000, "16M"},   // 15.75
    {0x400000, "32M"},            // a page
    {0x800000, "64M"},
};

TEST(SizeText, KilobitsBelow128KiBMegabitsAbove) {
  for (const TSizeCase& Case : SizeCases) EXPECT_EQ(SizeText(Case.Bytes), Case.Text) << Case.Bytes;
}

}  // namespace
