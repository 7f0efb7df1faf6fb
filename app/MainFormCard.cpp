// The card listing in the window: the page choice and the card list.
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "core/card/CardScan.h"

namespace {

// Where each card row keeps its data: the start offset and the size travel
// with the row's first column.
constexpr int RowOffsetRole = Qt::UserRole;
constexpr int RowSizeRole = Qt::UserRole + 1;

// The card list view as the listing's row sink.
class TCardListView : public TCardListSink {
public:
  explicit TCardListView(QTreeWidget& View) : FView(View) {}
  void ClearRows() override { FView.clear(); }
  void AddRow(const TCardRow& Row) override {
    auto* Item = new QTreeWidgetItem(
        QStringList{QString::fromLatin1(Row.Title.data(), static_cast<qsizetype>(Row.Title.size())),
                    QString::fromStdString(Row.SizeText)});
    Item->setData(0, RowOffsetRole, static_cast<qulonglong>(Row.Offset));
    Item->setData(0, RowSizeRole, static_cast<qulonglong>(Row.Size));
    FView.addTopLevelItem(Item);
  }

private:
  QTreeWidget& FView;
};

}  // namespace

TCardRow TMainForm::CardRowOf(const QTreeWidgetItem* Item) {
  TCardRow Row;
  if (!Item) return Row;
  const QByteArray Title = Item->text(0).toLatin1();
  Row.Title.assign(Title.constData(), static_cast<size_t>(Title.size()));
  Row.SizeText = Item->text(1).toStdString();
  Row.Offset = static_cast<uint32_t>(Item->data(0, RowOffsetRole).toULongLong());
  Row.Size = static_cast<uint32_t>(Item->data(0, RowSizeRole).toULongLong());
  return Row;
}

void TMainForm::cbPartChange() {
  FState.PageBase = static_cast<uint32_t>(std::max(cbPart->currentIndex(), 0)) << 22;
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
    QString Caption;
    if (FLink.LinkHandle() != 0) {
      TCardListView Rows(*lvCardRom);
      Caption = QStringLiteral(" Card Information ") + QString::fromStdString(ScanCardPage(FLink, Rows));
    } else {
      // Without a link nothing is probed; the rows of the last listing stay.
      Caption = QStringLiteral(" Card Information");
    }
    gbCardInfo->setTitle(Caption + QLatin1Char(' '));
  } while (FListingAgain);
  FListing = false;
}

void TMainForm::btnRefreshClick() { cbPartChange(); }

void TMainForm::lvCardRomDblClick() { btnRead->click(); }

void TMainForm::lvROMsDblClick() {
  if (lvROMs->selectedItems().isEmpty()) btnAdd->click();
}
