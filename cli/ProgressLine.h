// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdio>
#include <string>

// One line of a terminal that is redrawn in place: the progress bar of the
// running transfer, or a short busy text. Only used when the stream is a
// terminal; a log gets whole lines instead.
class TProgressLine {
public:
  explicit TProgressLine(std::FILE* Stream) : FStream(Stream) {}

  // "[#########---------]  42%  Text"
  void DrawBar(int Position, int Max, const std::string& Text);
  void DrawText(const std::string& Text);
  // Blanks the line and puts the cursor back at its start.
  void Clear();
  bool Shown() const { return FShownLength > 0; }

  static std::string BarText(int Position, int Max, const std::string& Text);

private:
  void Draw(const std::string& Line);
  std::FILE* FStream;
  size_t FShownLength = 0;
};
