// SPDX-License-Identifier: GPL-3.0-or-later
// The commands about the card as a whole: its identity, its listing, the
// format of a page.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/DatSupport.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/card/CardLayout.h"
#include "core/card/SizeText.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/SaveBackup.h"

int UsageError(TCliSession& Session, const std::string& Text) {
  Session.FrontEnd.Error(Text + " (see flashquill-cli --help)");
  Session.FrontEnd.Finish();
  return ExitUsage;
}

int RunInfo(TCliSession& Session, const TCommandArgs&) {
  const bool Connected = Session.Connect(false);
  Session.FrontEnd.Finish();
  Session.Json["connected"] = Connected && Session.Identity().Chip;
  Session.Json["link"] = JsonPath(Session.Port().Describe());
  if (Connected) {
    Session.Json["chip_id"] = Session.Identity().Id;
    Session.Json["chip"] = Session.Identity().Chip ? TJson(Session.Identity().Chip->Name) : TJson(nullptr);
    Session.Json["capacity"] = Session.Identity().Chip ? TJson(Session.State.CardCapacity) : TJson(nullptr);
    Session.Json["pages"] = 2;
  }
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

// Verdicts: what the DAT says of each row ("" for no DAT).
void PrintTable(const TCardRowVector& Rows, const std::string& Summary, const std::vector<std::string>& Verdicts) {
  size_t TitleWidth = 9;   // "Game Name"
  for (const TCardRow& Row : Rows.Rows) TitleWidth = std::max(TitleWidth, Row.Title.size());
  const int Width = static_cast<int>(TitleWidth);
  std::printf("%3s  %-*s  %5s  %8s  %8s\n", "#", Width, "Game Name", "Size", "Offset", "Bytes");
  int Index = 0;
  for (const TCardRow& Row : Rows.Rows) {
    // Padded by the title's own length: each byte is one character on screen.
    const std::string Shown = DisplayTitle(Row.Title);
    std::printf("%3d  %s%*s  %5s  %8u  %8u", ++Index, Shown.c_str(), Width - static_cast<int>(Row.Title.size()), "",
                Row.SizeText.c_str(), static_cast<unsigned>(Row.Offset), static_cast<unsigned>(Row.Size));
    const size_t At = static_cast<size_t>(Index - 1);
    std::printf(At < Verdicts.size() ? "  %s\n" : "%s\n", At < Verdicts.size() ? Verdicts[At].c_str() : "");
  }
  std::printf("%s\n", Summary.c_str());
}

void AddListFacts(TJson& Facts, const TCardRowVector& Rows, int Page, uint32_t Used, uint32_t Capacity,
                  const std::vector<TJson>& DatFields) {
  Facts["page"] = Page;
  TJson Games = TJson::array();
  int Index = 0;
  for (const TCardRow& Row : Rows.Rows) {
    const size_t At = static_cast<size_t>(Index++);
    TJson Game = {{"index", Index}, {"title", JsonTitle(Row.Title)}, {"offset", Row.Offset}, {"size", Row.Size}};
    if (At < DatFields.size()) Game.update(DatFields[At]);
    Games.push_back(Game);
  }
  Facts["games"] = Games;
  Facts["count"] = Rows.Rows.size();
  Facts["used"] = Used;
  Facts["free"] = static_cast<int64_t>(Capacity) - static_cast<int64_t>(Used);
}

}  // namespace

int RunList(TCliSession& Session, const TCommandArgs& Args) {
  std::unique_ptr<TDatFile> Dat;
  if (!LoadDatArgument(Session, Args, Dat)) return Session.Outcome(false);
  if (!Session.Connect()) return Session.Outcome(false);
  TCardRowVector Rows;
  TScanTotals Totals;
  const std::string Summary = Session.ListPage(Rows, Totals);
  std::vector<std::string> Verdicts;
  std::vector<TJson> DatFields;
  if (Totals.Complete && Dat && !JudgeCardRows(Session, *Dat, Rows, Verdicts, DatFields)) {
    Session.CloseOperation();
    return Session.Outcome(false);
  }
  Session.IdentifyChip();
  Session.FrontEnd.Finish();
  if (!Totals.Complete) {
    // A failed probe: the rows stop there and the totals say nothing.
    Session.FrontEnd.Error("the listing of " + Session.PageName() + " stopped at a failed exchange");
    return Session.Outcome(false);
  }
  AddListFacts(Session.Json.Facts(), Rows, Session.Options().Page, Totals.Used, Session.State.CardCapacity, DatFields);
  Session.Json["summary"] = Summary;
  PrintTable(Rows, Summary, Verdicts);
  std::fflush(stdout);
  return Session.Outcome(true);
}

int RunFormat(TCliSession& Session, const TCommandArgs& Args) {
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  const std::string Question = "Are you sure to format \"" + Session.PageName() + "\"";
  if (Session.FrontEnd.ShowMessageBox(Question, "Fromat", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
    Session.FrontEnd.Note("Nothing was formatted.");
    return Session.Outcome(false);
  }
  Session.Json["page"] = Session.Options().Page;
  Session.Json["blocks_total"] = FormatBlocksPerPage;
  // The page's games go, and with them what the save RAM belongs to: it is
  // kept first. The backup can still be stopped; the format cannot.
  if (!Args.Has("--no-backup")) {
    TSaveBackupRequest Request;
    Request.Before = "format";
    TSaveBackupResult Backup;
    const bool Made = BackupSaveRam(Session.Link(), Request, Backup);
    Session.Json["backup"] = BackupFacts(Backup);
    if (!Made) {
      Session.FrontEnd.TakePendingError();
      Session.FrontEnd.Error(Backup.Read.End == TTransferEnd::Stopped
                                 ? std::string("Stopped during the save backup: nothing was formatted.")
                                 : "Save backup failed (" + Backup.Error + "): nothing was formatted.");
      if (Backup.Read.End != TTransferEnd::Stopped)
        Session.FrontEnd.Note("Give --no-backup to format without keeping the save RAM first.");
      Session.CloseOperation();
      return Session.Outcome(false);
    }
    SayBackup(Session, Backup);
    Session.State.Operating = false;
  } else {
    Session.Json["backup"] = nullptr;
  }
  // A format cannot be stopped: a Ctrl-C says so, and the exit status is
  // the format's own.
  Session.FrontEnd.SetUnstoppable("Ctrl-C: a format cannot be stopped; it runs to its end.");
  const uint32_t Cleared = FormatCard(false, Session.Link());
  Session.Json["blocks"] = Cleared;
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
    const std::vector<std::string> Report = PartialWriteReport(Partial);
    for (const std::string& Line : Report) Session.FrontEnd.Note(Line);
    if (Partial.CardTouched)
      Session.Json["partial"] = {{"page", Session.Options().Page},
                                 {"reached", Cleared},
                                 {"total", FormatBlocksPerPage},
                                 {"what_to_do", Report.empty() ? TJson(nullptr) : TJson(Report.back())},
                                 {"report", Report}};
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
    Session.Json["done"] = "Format complete.";
    Session.FrontEnd.Note("Format complete.  " + Session.PageName() + " " + Summary);
    return Session.Outcome(true, false);
  }
  // Every block was cleared before the cable went: the format is whole,
  // only the listing afterwards failed.
  Session.FrontEnd.FlushPendingError();
  Session.Json["done"] = "Format complete.";
  Session.FrontEnd.Note("Format complete: all " + std::to_string(FormatBlocksPerPage) + " blocks of " +
                        Session.PageName() + " were cleared, but the page could not be listed afterwards.");
  Session.FrontEnd.ClearFailed();
  return Session.Outcome(true, false);
}
