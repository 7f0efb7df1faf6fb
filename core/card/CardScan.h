// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/card/CardRow.h"

class TLink;

// What one listing of a page found. A failed probe leaves Games and Used at
// zero (the rows found before it stay in the list) and Complete false.
struct TScanTotals {
  int Games = 0;
  uint32_t Used = 0;      // bytes, the pack's menu included
  bool Complete = true;
};

// Lists the games of the selected page (the link adds PageBase to every
// probe): shows the busy panel "Now loading...", clears the list, lets the
// front end pump its messages once, then probes 512 bytes at block starts
// and adds a row per game found. Returns the summary
// "[n Game(s) Total, Size: ..., Free: ...]" with the free space taken from
// CardCapacity. The probes are not cancellable and do not pump.
std::string ScanCardPage(TLink& Link, TCardListSink& List, TScanTotals* Totals = nullptr);

// The summary text of a listing.
std::string ScanSummary(int Games, uint32_t Used, uint32_t Capacity);

// The list as a plain vector, for front ends without a list view.
class TCardRowVector : public TCardListSink {
public:
  std::vector<TCardRow> Rows;
  void ClearRows() override { Rows.clear(); }
  void AddRow(const TCardRow& Row) override { Rows.push_back(Row); }
};
