// The commands about the card as a whole: its identity, its listing, the
// format of a page.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/card/CardLayout.h"
#include "core/card/SizeText.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/PartialWrite.h"

int UsageError(TCliSession& Session, const std::string& Text) {
  Session.FrontEnd.Error(Text + " (see flashquill-cli --help)");
  Session.FrontEnd.Finish();
  return ExitUsage;
}

int RunInfo(TCliSession& Session, const TCommandArgs&) {
  const bool Connected = Session.Connect(false);
  Session.FrontEnd.Finish();
  if (!Connected) {
    std::printf("Device Disconnected\nLink: %s (no cable found)\n", Session.Port().Describe().c_str());
    return ExitFailed;
  }
  const TLink::TIdentity& Identity = Session.Identity();
  std::printf("%s\n", Identity.Chip ? "Device Connected" : "Device Disconnected");
  std::printf("Link: %s\n", Session.Port().Describe().c_str());
  if (!Identity.Chip) {
    const std::string Why = Session.FrontEnd.TakePendingError();
    if (!Why.empty())
      std::printf("Chip: no answer (%s)\n", Why.c_str());
    else
      std::printf("Chip: %04X (no flash chip this program knows)\n", Identity.Id);
    std::fflush(stdout);
    return ExitFailed;
  }
  std::printf("Chip: %04X=%s\n", Identity.Id, Identity.Chip->Name);
  std::printf("Capacity: %u bytes per page (%s), 2 pages\n", static_cast<unsigned>(Session.State.CardCapacity),
              SizeText(static_cast<int32_t>(Session.State.CardCapacity)).c_str());
  std::fflush(stdout);
  return Session.Outcome(true);
}

namespace {

void PrintTable(const TCardRowVector& Rows, const std::string& Summary) {
  size_t TitleWidth = 9;   // "Game Name"
  for (const TCardRow& Row : Rows.Rows) TitleWidth = std::max(TitleWidth, Row.Title.size());
  const int Width = static_cast<int>(TitleWidth);
  std::printf("%3s  %-*s  %5s  %8s  %8s\n", "#", Width, "Game Name", "Size", "Offset", "Bytes");
  int Index = 0;
  for (const TCardRow& Row : Rows.Rows) {
    // Padded by the title's own length: each byte is one character on screen.
    const std::string Shown = DisplayTitle(Row.Title);
    std::printf("%3d  %s%*s  %5s  %8u  %8u\n", ++Index, Shown.c_str(), Width - static_cast<int>(Row.Title.size()), "",
                Row.SizeText.c_str(), static_cast<unsigned>(Row.Offset), static_cast<unsigned>(Row.Size));
  }
  std::printf("%s\n", Summary.c_str());
}

void PrintJson(const TCardRowVector& Rows, int Page, uint32_t Used, uint32_t Capacity) {
  std::string Out = "{\"page\":" + std::to_string(Page) + ",\"games\":[";
  int Index = 0;
  for (const TCardRow& Row : Rows.Rows) {
    if (Index) Out += ',';
    Out += "{\"index\":" + std::to_string(++Index) + ",\"title\":" + JsonString(Row.Title) +
           ",\"offset\":" + std::to_string(Row.Offset) + ",\"size\":" + std::to_string(Row.Size) + "}";
  }
  Out += "],\"count\":" + std::to_string(Rows.Rows.size()) + ",\"used\":" + std::to_string(Used) +
         ",\"free\":" + std::to_string(static_cast<int64_t>(Capacity) - static_cast<int64_t>(Used)) + "}\n";
  std::fputs(Out.c_str(), stdout);
}

}  // namespace

int RunList(TCliSession& Session, const TCommandArgs& Args) {
  if (!Session.Connect()) return Session.Outcome(false);
  TCardRowVector Rows;
  TScanTotals Totals;
  const std::string Summary = Session.ListPage(Rows, Totals);
  Session.IdentifyChip();
  Session.FrontEnd.Finish();
  if (!Totals.Complete) {
    // A failed probe: the rows stop there and the totals say nothing.
    Session.FrontEnd.Error("the listing of " + Session.PageName() + " stopped at a failed exchange");
    return Session.Outcome(false);
  }
  if (Args.Has("--json"))
    PrintJson(Rows, Session.Options().Page, Totals.Used, Session.State.CardCapacity);
  else
    PrintTable(Rows, Summary);
  std::fflush(stdout);
  return Session.Outcome(true);
}

int RunFormat(TCliSession& Session, const TCommandArgs&) {
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  const std::string Question = "Are you sure to format \"" + Session.PageName() + "\"";
  if (Session.FrontEnd.ShowMessageBox(Question, "Fromat", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
    Session.FrontEnd.Note("Nothing was formatted.");
    return Session.Outcome(false);
  }
  // A format cannot be stopped: a Ctrl-C says so, and the exit status is
  // the format's own.
  Session.FrontEnd.SetUnstoppable("Ctrl-C: a format cannot be stopped; it runs to its end.");
  const uint32_t Cleared = FormatCard(false, Session.Link());
  if (Cleared < FormatBlocksPerPage) {
    // The cable stopped taking packets: say so, and what the page holds now.
    Session.Link().ReportLinkError();
    Session.FrontEnd.FlushPendingError();
    TPartialWrite Partial;
    Partial.Kind = TCardWriteKind::Format;
    Partial.PageBase = Session.State.PageBase;
    Partial.Total = FormatBlocksPerPage;
    Partial.Reached = Cleared;
    Partial.CardTouched = Cleared > 0;
    for (const std::string& Line : PartialWriteReport(Partial)) Session.FrontEnd.Note(Line);
    Session.FrontEnd.Error("Format failed.");
    Session.CloseOperation();
    Session.FrontEnd.SetUnstoppable("");
    return Session.Outcome(false, false);
  }
  // The listing afterwards shows what the format left.
  TCardRowVector Rows;
  TScanTotals Totals;
  const std::string Summary = Session.ListPage(Rows, Totals);
  Session.CloseOperation();
  Session.FrontEnd.SetUnstoppable("");
  if (Totals.Complete) {
    Session.FrontEnd.Note("Format complete.  " + Session.PageName() + " " + Summary);
    return Session.Outcome(true, false);
  }
  // Every block was cleared before the cable went: the format is whole,
  // only the listing afterwards failed.
  Session.FrontEnd.FlushPendingError();
  Session.FrontEnd.Note("Format complete: all " + std::to_string(FormatBlocksPerPage) + " blocks of " +
                        Session.PageName() + " were cleared, but the page could not be listed afterwards.");
  Session.FrontEnd.ClearFailed();
  return Session.Outcome(true, false);
}
