// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/TextParts.h"

std::string LeftChars(const std::string& S, int N) {
  if (N <= 0) return std::string();
  return S.substr(0, static_cast<size_t>(N));
}

std::string RightChars(const std::string& S, int N) {
  if (N <= 0) return std::string();
  const size_t Count = static_cast<size_t>(N);
  return Count >= S.size() ? S : S.substr(S.size() - Count);
}
