// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/support/Bytes.h"
#include "core/support/NumberText.h"

TEST(ZeroPad, PadsUpToWidthOnly) {
  const struct {
    int64_t Value;
    int Width;
    const char* Expected;
  } Cases[] = {
      {7, 2, "07"}, {123, 2, "123"}, {0, 3, "000"}, {45, 2, "45"}, {5, 0, "5"}, {5, -3, "5"}, {-5, 3, "0-5"},
  };
  for (const auto& C : Cases) EXPECT_EQ(ZeroPad(C.Value, C.Width), C.Expected) << C.Value << " width " << C.Width;
}

TEST(IsNumberText, DigitsDotsAndALeadingSign) {
  const struct {
    const char* Text;
    bool Expected;
  } Cases[] = {
      {"12", true},   {"1.2.3", true}, {"-5", true},  {"+.", true},   {"--5", true},  {"...", true},
      {"", false},    {" 12", false},  {"12 ", false}, {"1-2", false}, {"+", false},   {"-", false},
      {"0x10", false}, {"\t", false},  {"1e5", false}, {"-+", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(IsNumberText(C.Text), C.Expected) << '"' << C.Text << '"';
  // Every leading sign asks again about the rest; a long run of them must
  // not run the stack out.
  EXPECT_TRUE(IsNumberText(std::string(1000000, '-') + "5"));
  EXPECT_FALSE(IsNumberText(std::string(1000000, '+')));
}

TEST(ParseNumber, DecimalAndHexTexts) {
  const struct {
    const char* Text;
    int32_t Expected;
  } Cases[] = {
      {" 0x1F ", 31},
      {"0X1F", 31},
      {"\t0x1f\r\n", 31},
      {"12345678901", 0},   // eleven digits
      {"1234567890", 1234567890},
      {"abc", 0},
      {"-12", -12},
      {"+7", 7},
      {" 12", 12},          // trimmed first, unlike IsNumberText
      {"", 0},
      {"0x", 0},
      {"0xFFFFFFFF", -1},   // cut to 32 bits
      {"0x80000000", INT32_MIN},
      {"0x123456789", 0},   // nine hex digits
      {"2147483647", 2147483647},
      {"-2147483647", 0},   // eleven characters with its sign
      {"-214748364", -214748364},
      {"2147483648", 0},    // passes the test, but is no 32-bit number
      {"9999999999", 0},
      {"1.5", 0},
      {"--5", 0},
      {"+.", 0},
      {"12a", 0},
  };
  for (const auto& C : Cases) EXPECT_EQ(ParseNumber(C.Text), C.Expected) << '"' << C.Text << '"';
}

TEST(HexToInt, DigitsByCodeWithoutValidation) {
  const struct {
    const char* Text;
    int64_t Expected;
  } Cases[] = {
      {"", 0},
      {"h", 0},
      {"H", 0},
      {"FF", 255},
      {"ff", 255},
      {"0FFh", 255},
      {"FFFFFFFF", 4294967295LL},
      {"FFFFFFFFh", 4294967295LL},
      {"123456789", 0},   // nine characters besides the H
      {"12345678H", 0x12345678},
      {"1G", 39},         // G counts as 23
      {" 1", -255},       // a blank counts as -16
      {"10", 16},
  };
  for (const auto& C : Cases) EXPECT_EQ(HexToInt(C.Text), C.Expected) << '"' << C.Text << '"';
}

// Option values: the whole text, decimal or "0x" hexadecimal, within a limit.
TEST(ParseUnsignedUpTo, WholeTextWithinTheLimit) {
  struct TCase {
    const char* Text;
    uint64_t Limit;
    bool Accepted;
    uint64_t Value;
  };
  const TCase Cases[] = {
      {"0", 10, true, 0},          {"10", 10, true, 10},       {"11", 10, false, 0},
      {"0x7FFFFF", 0x7FFFFF, true, 0x7FFFFF},                  {"0x800000", 0x7FFFFF, false, 0},
      {"0xff", 0xFF, true, 0xFF},  {"", 10, false, 0},         {"0x", 10, false, 0},
      {"-1", 10, false, 0},        {" 1", 10, false, 0},       {"1a", 100, false, 0},
      {"99999999999999999999", 1000000000, false, 0},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    uint64_t Value = 0;
    EXPECT_EQ(ParseUnsignedUpTo(Case.Text, Case.Limit, Value), Case.Accepted);
    if (Case.Accepted) {
      EXPECT_EQ(Value, Case.Value);
    }
  }
}

TEST(Bytes, LittleEndianReadAndSwap) {
  const uint8_t Data[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(ReadLE32(Data), 0x12345678u);
  const uint8_t High[4] = {0xBB, 0xB9, 0x33, 0x3E};
  EXPECT_EQ(ReadLE32(High), 0x3E33B9BBu);
  EXPECT_EQ(SwapDWord(0x12345678u), 0x78563412u);
  EXPECT_EQ(SwapDWord(0x00008000u), 0x00800000u);
  EXPECT_EQ(SwapDWord(SwapDWord(0xDEADBEEFu)), 0xDEADBEEFu);
}
