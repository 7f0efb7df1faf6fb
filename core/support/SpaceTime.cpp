// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/SpaceTime.h"

#include "core/support/DateTime.h"

void TSpaceTime::Start() { StartTime = NowDateTime(); }

void TSpaceTime::Stop() { StopTime = NowDateTime(); }

std::string TSpaceTime::ElapsedText() const {
  const double Elapsed = StopTime - StartTime;
  return TimeText(Elapsed);
}

std::string TSpaceTime::RemainText(int32_t Done) const { return RemainTextAt(Done, NowDateTime()); }

std::string TSpaceTime::RemainTextAt(int32_t Done, double Now) const {
  if (Done == 0) return "Unknow";
  // Total - Done in 64 bits: a negative Done or Total must not overflow.
  const int64_t Left = static_cast<int64_t>(Total) - static_cast<int64_t>(Done);
  const double Estimate = (Now - StartTime) / static_cast<double>(Done) * static_cast<double>(Left);
  return TimeText(Estimate);
}
