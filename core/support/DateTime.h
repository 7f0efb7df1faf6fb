// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// Date-time values are doubles counting days since 30 December 1899, local
// wall-clock time; the fraction is the time of day. Durations are the
// difference of two such values, so they are days too.
double NowDateTime();
// Builds a date-time from a local calendar date and time of day.
double EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Millisecond);
// A duration in days as hh:mm:ss.m: rounded to whole milliseconds (ties to
// even), sign and whole days dropped, milliseconds without leading zeros.
std::string TimeText(double Days);
