// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/card/SizeText.h"

#include <cmath>

std::string SizeText(int32_t Bytes) {
  // Kilobits are bytes / 128, megabits bytes / 131072; the shown figure is a
  // whole number, so the unit switches where kilobits would reach 1024.
  const bool Kilo = Bytes < 0x20000;
  const double Quotient = static_cast<double>(Bytes) / (Kilo ? 128.0 : 131072.0);
  const long long Whole = std::llround(Quotient);   // halves away from zero
  return std::to_string(Whole) + (Kilo ? "K" : "M");
}
