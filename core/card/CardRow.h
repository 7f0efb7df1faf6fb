// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// One game found on the card: what the card list shows and what a later read
// of the selected games works from.
struct TCardRow {
  std::string Title;      // header title, up to its first zero byte
  std::string SizeText;   // SizeText(Size), the "Size" column
  uint32_t Offset = 0;    // start within the page (PageBase not included)
  uint32_t Size = 0;      // bytes, from the header's ROM-size code
};

// Where the listing puts its rows: the window's list view, or a vector in
// the command-line front end and the tests.
class TCardListSink {
public:
  virtual ~TCardListSink() = default;
  virtual void ClearRows() = 0;
  virtual void AddRow(const TCardRow& Row) = 0;
};
