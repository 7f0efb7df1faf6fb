// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "core/support/DateTime.h"
#include "core/support/SpaceTime.h"

namespace {

constexpr double MsPerDay = 86400000.0;
double Ms(double Milliseconds) { return Milliseconds / MsPerDay; }

}  // namespace

TEST(TimeText, HoursMinutesSecondsAndThreeDigitMilliseconds) {
  const struct {
    double Days;
    const char* Expected;
  } Cases[] = {
      {Ms(3045), "00:00:03.045"},
      {Ms(3450), "00:00:03.450"},
      {Ms(4), "00:00:00.004"},      // 4 ms, not 400
      {Ms(5090), "00:00:05.090"},
      {Ms(3000), "00:00:03.000"},
      {Ms(0), "00:00:00.000"},
      {Ms((25 * 60 + 3) * 60000.0), "01:03:00.000"},   // whole days are dropped
      {Ms(-3045), "00:00:03.045"},                     // sign dropped
      {Ms(3044.6), "00:00:03.045"},                    // rounded to whole ms
      {Ms(59999.4), "00:00:59.999"},
      {Ms(23 * 3600000.0 + 59 * 60000.0 + 59999), "23:59:59.999"},
      {Ms(100 * 3600000.0), "04:00:00.000"},
  };
  for (const auto& C : Cases) EXPECT_EQ(TimeText(C.Days), C.Expected) << C.Days * MsPerDay << " ms";
}

TEST(DateTime, CountsDaysFrom30December1899) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0, 0), 2.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1970, 1, 1, 12, 0, 0, 0), 25569.5);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 3, 1, 0, 0, 0, 0) - EncodeDateTime(2000, 2, 28, 0, 0, 0, 0), 2.0);

  // Now is the local wall clock: the same date as localtime reports.
  const std::time_t Seconds = std::time(nullptr);
  std::tm Local{};
  localtime_r(&Seconds, &Local);
  const double Today = EncodeDateTime(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, 0, 0, 0, 0);
  const double Now = NowDateTime();
  EXPECT_GE(Now, Today);
  EXPECT_LT(Now, Today + 2);
}

TEST(SpaceTime, ElapsedTextIsStopMinusStart) {
  TSpaceTime Time;
  Time.StartTime = EncodeDateTime(2026, 12, 9, 23, 59, 58, 500);
  Time.StopTime = EncodeDateTime(2026, 12, 10, 0, 0, 1, 545);   // across midnight
  EXPECT_EQ(Time.ElapsedText(), "00:00:03.045");

  Time.Start();
  Time.Stop();
  EXPECT_GE(Time.StopTime, Time.StartTime);
}

TEST(SpaceTime, RemainTextFromTheAverageRateSinceStart) {
  TSpaceTime Time;
  Time.StartTime = 1000.0;
  const double TenSecondsLater = 1000.0 + Ms(10000);
  const struct {
    int32_t Total, Done;
    const char* Expected;
  } Cases[] = {
      {0, 0, "Unknow"},
      {4194304, 0, "Unknow"},
      {-5, 0, "Unknow"},
      {30, 10, "00:00:20.000"},    // 10 done in 10 s, 20 to go
      {100, 100, "00:00:00.000"},
      {10, 20, "00:00:05.000"},    // past the end: the negative estimate by its size
      {4194304, 32, "04:05:10.000"},   // 1310710 s: 15 days dropped, 4 h 5 min 10 s left
  };
  for (const auto& C : Cases) {
    Time.Total = C.Total;
    EXPECT_EQ(Time.RemainTextAt(C.Done, TenSecondsLater), C.Expected) << C.Done << " of " << C.Total;
  }
  // Extreme counts do not overflow the integer difference.
  Time.Total = INT32_MAX;
  EXPECT_FALSE(Time.RemainTextAt(INT32_MIN, TenSecondsLater).empty());
  Time.Total = 5;
  EXPECT_EQ(Time.RemainText(0), "Unknow");
}
