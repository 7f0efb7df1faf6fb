// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// Times one long operation and estimates what remains of it. The operation
// that creates it sets Total (the units it will handle, bytes for the
// callers), calls Start, asks RemainText as it goes, then Stop and
// ElapsedText at the end.
class TSpaceTime {
public:
  double StartTime = 0;   // date-time (see DateTime.h) taken by Start
  double StopTime = 0;    // date-time taken by Stop
  int32_t Total = 0;

  void Start();
  void Stop();
  std::string ElapsedText() const;
  // "Unknow" while nothing is done; otherwise the average rate since Start
  // applied to what is left. An estimate past the end (Done > Total) is
  // shown by its absolute value.
  std::string RemainText(int32_t Done) const;
  // The same at a given moment, so the estimate can be checked exactly.
  std::string RemainTextAt(int32_t Done, double Now) const;
};
