// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ProgressLine.h"

#include <algorithm>

namespace {
constexpr int BarWidth = 24;
}  // namespace

std::string TProgressLine::BarText(int Position, int Max, const std::string& Text) {
  const int Clamped = Max > 0 ? std::clamp(Position, 0, Max) : 0;
  const int Filled = Max > 0 ? Clamped * BarWidth / Max : 0;
  const int Percent = Max > 0 ? Clamped * 100 / Max : 0;
  std::string Line = "[" + std::string(static_cast<size_t>(Filled), '#') +
                     std::string(static_cast<size_t>(BarWidth - Filled), '-') + "] ";
  const std::string Number = std::to_string(Percent);
  Line += std::string(3 - std::min<size_t>(3, Number.size()), ' ') + Number + "%  " + Text;
  return Line;
}

void TProgressLine::DrawBar(int Position, int Max, const std::string& Text) { Draw(BarText(Position, Max, Text)); }

void TProgressLine::DrawText(const std::string& Text) { Draw(Text); }

void TProgressLine::Draw(const std::string& Line) {
  std::string Out = "\r" + Line;
  // Blanks over what a longer line before left standing.
  if (Line.size() < FShownLength) Out += std::string(FShownLength - Line.size(), ' ') + "\r" + Line;
  std::fputs(Out.c_str(), FStream);
  std::fflush(FStream);
  FShownLength = std::max<size_t>(Line.size(), 1);
}

void TProgressLine::Clear() {
  if (!FShownLength) return;
  std::fputs(("\r" + std::string(FShownLength, ' ') + "\r").c_str(), FStream);
  std::fflush(FStream);
  FShownLength = 0;
}
