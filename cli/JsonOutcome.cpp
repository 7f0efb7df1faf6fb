// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonOutcome.h"

#include <cstdio>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#define FQ_DUP _dup
#define FQ_DUP2 _dup2
#define FQ_CLOSE _close
#define FQ_OPEN _open
#define FQ_NULL "NUL"
#define FQ_FILENO _fileno
#else
#include <unistd.h>
#define FQ_DUP dup
#define FQ_DUP2 dup2
#define FQ_CLOSE close
#define FQ_OPEN open
#define FQ_NULL "/dev/null"
#define FQ_FILENO fileno
#endif

#include "cli/CliFrontEnd.h"
#include "cli/TitleText.h"
#include "core/transfer/CardWrite.h"
#include "core/transfer/SaveBackup.h"
#include "core/vault/SaveVault.h"
#include "core/vault/VaultName.h"

namespace {

// The card's erase block: what a script counts a write's extent in.
constexpr uint32_t FlashBlockSize = 0x20000;

TJson Titles(const std::vector<TPlacedGame>& Games) {
  TJson List = TJson::array();
  for (const TPlacedGame& Game : Games)
    List.push_back({{"title", JsonTitle(Game.Title)}, {"offset", Game.Offset}, {"size", Game.Size}});
  return List;
}

TJson Nullable(const std::string& Text) { return Text.empty() ? TJson(nullptr) : JsonPath(Text); }

int ErrorNumber(const std::string& Text) {
  const std::string Key = "Error Code: ";
  const size_t At = Text.find(Key);
  if (At == std::string::npos) return -1;
  int Number = 0;
  size_t I = At + Key.size();
  if (I >= Text.size() || Text[I] < '0' || Text[I] > '9') return -1;
  for (; I < Text.size() && Text[I] >= '0' && Text[I] <= '9' && Number < 100000000; ++I) Number = Number * 10 + (Text[I] - '0');
  return Number;
}

}  // namespace

TJsonOutcome::~TJsonOutcome() {
  // A command that never finished (an exception): standard output back.
  if (FSavedOut >= 0) {
    std::fflush(stdout);
    FQ_DUP2(FSavedOut, FQ_FILENO(stdout));
    FQ_CLOSE(FSavedOut);
  }
}

void TJsonOutcome::Start(const std::string& Command) {
  FEnabled = true;
  FFacts = TJson::object();
  FFacts["command"] = Command;
  std::fflush(stdout);
  FSavedOut = FQ_DUP(FQ_FILENO(stdout));
  const int Null = FQ_OPEN(FQ_NULL, O_WRONLY);
  if (FSavedOut >= 0 && Null >= 0) FQ_DUP2(Null, FQ_FILENO(stdout));
  if (Null >= 0) FQ_CLOSE(Null);
}

void TJsonOutcome::Finish(int Exit, const TCliFrontEnd& FrontEnd) {
  if (!FEnabled || FFinished) return;
  FFinished = true;
  std::fflush(stdout);
  if (FSavedOut >= 0) {
    FQ_DUP2(FSavedOut, FQ_FILENO(stdout));
    FQ_CLOSE(FSavedOut);
    FSavedOut = -1;
  }
  FFacts["ok"] = Exit == 0;
  FFacts["exit"] = Exit;
  FFacts["error"] = Exit == 0 && FrontEnd.Errors().empty() ? TJson(nullptr) : ErrorFacts(FrontEnd);
  const std::string Text = FFacts.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n";
  std::fputs(Text.c_str(), stdout);
  std::fflush(stdout);
}

void PrintUsageJson(const std::string& Command, const std::string& Error, int Exit) {
  const TJson Facts = {{"command", Command},
                       {"ok", false},
                       {"exit", Exit},
                       {"error", {{"text", Error}, {"code", nullptr}, {"lines", TJson::array({Error})}}}};
  std::fputs((Facts.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n").c_str(), stdout);
  std::fflush(stdout);
}

TJson JsonTitle(const std::string& Title) { return TitleUtf8(Title); }

TJson JsonPath(const std::string& Path) { return Path; }

TJson ErrorFacts(const TCliFrontEnd& FrontEnd) {
  const std::vector<std::string>& Lines = FrontEnd.Errors();
  if (Lines.empty()) return {{"text", nullptr}, {"code", nullptr}, {"lines", TJson::array()}};
  int Code = -1;
  for (const std::string& Line : Lines)
    if (Code < 0) Code = ErrorNumber(Line);
  TJson All = TJson::array();
  for (const std::string& Line : Lines) All.push_back(Line);
  return {{"text", Lines.back()}, {"code", Code < 0 ? TJson(nullptr) : TJson(Code)}, {"lines", All}};
}

TJson BackupFacts(const TSaveBackupResult& Result, bool WentOnWithout) {
  if (!Result.Made)
    return {{"made", false}, {"error", Nullable(Result.Error)}, {"went_on_without", WentOnWithout}};
  TJson Titles = TJson::array();
  for (const std::string& Title : Result.Entry.Titles) Titles.push_back(JsonTitle(Title));
  TJson Dropped = TJson::array();
  for (const std::string& File : Result.Dropped) Dropped.push_back(JsonPath(File));
  return {{"made", true},
          {"new", Result.Added},
          {"file", JsonPath(Result.File)},
          {"size", Result.Entry.Size},
          {"sha1", Result.Entry.Sha1},
          {"time", VaultTimeText(Result.Entry.Time)},
          {"titles", Titles},
          {"dropped", Dropped}};
}

TJson VaultEntryFacts(const TSaveVault& Vault, const TVaultEntry& Entry, size_t Number) {
  TJson Titles = TJson::array();
  for (const std::string& Title : Entry.Titles) Titles.push_back(JsonTitle(Title));
  return {{"number", Number},
          {"file", JsonPath(Vault.PathOf(Entry))},
          {"time", VaultTimeText(Entry.Time)},
          {"epoch", Entry.Time},
          {"size", Entry.Size},
          {"sha1", Entry.Sha1},
          {"page", Entry.Page ? TJson(Entry.Page) : TJson(nullptr)},
          {"before", Entry.Before.empty() ? TJson(nullptr) : TJson(Entry.Before)},
          {"titles", Entry.TitlesKnown ? Titles : TJson(nullptr)}};
}

void AddWriteFacts(TJson& Facts, const TCardWriteResult& Result) {
  Facts["done"] = Result.Outcome;
  Facts["bytes"] = Result.Reached;
  Facts["bytes_total"] = Result.Total;
  Facts["blocks"] = (Result.Reached + FlashBlockSize - 1) / FlashBlockSize;
  if (Result.Verified || Result.Mismatch >= 0)
    Facts["verify"] = {{"ok", Result.Verified},
                       {"mismatch", Result.Mismatch >= 0 ? TJson(Result.Mismatch) : TJson(nullptr)},
                       {"game", Result.Mismatch >= 0 && !Result.MismatchGame.empty() ? JsonTitle(Result.MismatchGame)
                                                                                      : TJson(nullptr)}};
  else
    Facts["verify"] = nullptr;
  if (Result.Partial.CardTouched) {
    const TPartialWrite& P = Result.Partial;
    const TPartialGames Games = PartialWriteGames(P);
    TJson Lines = TJson::array();
    for (const std::string& Line : Result.Report) Lines.push_back(Line);
    Facts["partial"] = {{"page", P.PageBase / 0x400000 + 1},
                        {"reached", P.Reached},
                        {"total", P.Total},
                        {"complete", Titles(Games.Complete)},
                        {"cut_short", Titles(Games.CutShort)},
                        {"missing", Titles(Games.Missing)},
                        {"what_to_do", Result.Report.empty() ? TJson(nullptr) : TJson(Result.Report.back())},
                        {"report", Lines}};
  } else {
    Facts["partial"] = nullptr;
  }
  Facts["backup"] = Result.Backup.Made || !Result.Backup.Error.empty()
                        ? BackupFacts(Result.Backup, Result.WroteWithoutBackup)
                        : TJson(nullptr);
  // A write that rewrote only what differed: how much it looked at and did.
  if (Result.Write.Repair)
    Facts["repair"] = {{"blocks_compared", Result.Write.BlocksCompared},
                       {"blocks_to_rewrite", Result.Write.BlocksToRewrite},
                       {"blocks_rewritten", Result.Write.BlocksRewritten},
                       {"headers_cleared", Result.Write.HeadersCleared}};
  else
    Facts["repair"] = nullptr;
  Facts["contact"] = Result.ContactChecked ? ContactFacts(Result.Contact) : TJson(nullptr);
}

TJson ContactFacts(const TContactCheck& Contact) {
  return {{"checked", Contact.End == TTransferEnd::Done},
          {"stable", Contact.Stable},
          {"region", Contact.Region.empty() ? TJson(nullptr) : TJson(Contact.Region)},
          {"address", Contact.Address >= 0 ? TJson(Contact.Address) : TJson(nullptr)},
          {"bytes_per_pass", Contact.BytesPerPass},
          {"verdict", Contact.Text}};
}
