// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "core/support/NumberText.h"

namespace {

constexpr double MillisecondsPerDay = 86400000.0;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t Year, unsigned Month, unsigned Day) {
  Year -= Month <= 2;
  const int64_t Era = (Year >= 0 ? Year : Year - 399) / 400;
  const unsigned YearOfEra = static_cast<unsigned>(Year - Era * 400);
  const unsigned DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const unsigned DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + static_cast<int64_t>(DayOfEra) - 719468;
}

// 1899-12-30, the day the date-time values count from.
constexpr int64_t EpochOffsetDays = 25569;   // days from 1899-12-30 to 1970-01-01

}  // namespace

double EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond) {
  const int64_t Days = DaysFromCivil(Year, static_cast<unsigned>(Month), static_cast<unsigned>(Day)) + EpochOffsetDays;
  const double Ms = ((Hour * 60.0 + Minute) * 60.0 + Second) * 1000.0 + Millisecond;
  return static_cast<double>(Days) + Ms / MillisecondsPerDay;
}

double NowDateTime() {
  using namespace std::chrono;
  const auto Now = system_clock::now();
  const std::time_t Seconds = system_clock::to_time_t(Now);
  const int Millisecond =
      static_cast<int>(duration_cast<milliseconds>(Now.time_since_epoch()).count() % 1000 + 1000) % 1000;
  std::tm Local{};
#ifdef _WIN32
  localtime_s(&Local, &Seconds);
#else
  localtime_r(&Seconds, &Local);
#endif
  return EncodeDateTime(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Local.tm_hour, Local.tm_min,
                        Local.tm_sec, Millisecond);
}

std::string TimeText(double Days) {
  // nearbyint rounds in the current mode, which is to-nearest-even unless
  // someone changed it; the time texts rely on the even tie.
  double Rounded = std::nearbyint(Days * MillisecondsPerDay);
  if (!std::isfinite(Rounded)) Rounded = 0;
  Rounded = std::fmod(std::fabs(Rounded), MillisecondsPerDay);
  const int64_t T = static_cast<int64_t>(Rounded);
  const int64_t Hours = T / 3600000;
  const int64_t Minutes = (T / 60000) % 60;
  const int64_t Seconds = (T % 60000) / 1000;
  const int64_t Milliseconds = T % 1000;
  return ZeroPad(Hours, 2) + ":" + ZeroPad(Minutes, 2) + ":" + ZeroPad(Seconds, 2) + "." +
         ZeroPad(Milliseconds, 3);
}
