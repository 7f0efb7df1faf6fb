// SPDX-License-Identifier: GPL-3.0-or-later
// The card listing in the window: the page choice and the card list.
#include <algorithm>
#include <cstdlib>

#include "app/form/MainForm.h"
#include "app/form/TextCodes.h"
#include "core/card/CardScan.h"

namespace {

// The card list view as the listing's row sink.
class TCardListView : public TCardListSink {
public:
  explicit TCardListView(TListView& View) : FView(View) {}
  void ClearRows() override { FView.Clear(); }
  void AddRow(const TCardRow& Row) override { FView.AddRow(TMainForm::CardListRow(Row)); }

private:
  TListView& FView;
};

}  // namespace

TListView::TRow TMainForm::CardListRow(const TCardRow& Row) {
  // Titles are the header's raw bytes: shown one character per byte, so no
  // byte is lost or turned into a replacement mark. The start offset and
  // the size travel with the row as hidden cells.
  return {BytesAsText(Row.Title), Row.SizeText, std::to_string(Row.Offset), std::to_string(Row.Size)};
}

TCardRow TMainForm::CardRowOf(const TListView::TRow& Cells) {
  TCardRow Row;
  if (Cells.size() < 4) return Row;
  Row.Title = TextAsBytes(Cells[0]);
  Row.SizeText = Cells[1];
  Row.Offset = static_cast<uint32_t>(std::strtoul(Cells[2].c_str(), nullptr, 10));
  Row.Size = static_cast<uint32_t>(std::strtoul(Cells[3].c_str(), nullptr, 10));
  return Row;
}

void TMainForm::cbPartChange() {
  // The factory tests work on the first page whatever the page box says.
  FState.PageBase = TestMode() ? 0 : static_cast<uint32_t>(std::max(cbPart->ItemIndex(), 0)) << 22;
  ShowGameInfo();
}

void TMainForm::ShowGameInfo() {
  // The listing pumps messages once; a page change or a device change that
  // comes in there would start a second listing into the same list. It is
  // run after this one instead, so the list holds one listing.
  if (FListing) {
    FListingAgain = true;
    return;
  }
  FListing = true;
  do {
    FListingAgain = false;
    std::string Caption;
    if (FLink.LinkHandle() != 0) {
      TCardListView Rows(*lvCardRom);
      Caption = " Card Information " + ScanCardPage(FLink, Rows);
    } else {
      // Without a link nothing is probed; the rows of the last listing stay.
      Caption = " Card Information";
    }
    gbCardInfo->SetCaption(Caption + ' ');
  } while (FListingAgain);
  FListing = false;
}

void TMainForm::btnRefreshClick() { cbPartChange(); }

void TMainForm::lvCardRomDblClick() { btnRead->Click(); }

void TMainForm::lvROMsDblClick() {
  if (lvROMs->SelectedRows().empty()) btnAdd->Click();
}
