// SPDX-License-Identifier: GPL-3.0-or-later
// The commands that copy the card into files.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "cli/Commands.h"
#include "cli/DatSupport.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/SizeArgument.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/link/LinkProtocol.h"
#include "core/naming/GameFileName.h"
#include "core/support/Paths.h"
#include "core/transfer/RawRead.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/WriteEngine.h"

namespace fs = std::filesystem;

namespace {

// "1", "2", ...: the numbers 'list' shows.
bool ParseIndex(const std::string& Text, size_t& Index) {
  if (Text.empty() || Text.size() > 6 || Text.find_first_not_of("0123456789") != std::string::npos) return false;
  Index = static_cast<size_t>(std::stoul(Text));
  return Index > 0;
}

bool IsFolder(const std::string& Path) {
  std::error_code Error;
  return fs::is_directory(Path, Error);
}

// -o names a folder when it ends in a separator ("backup/") or is one
// already; otherwise, for a single game, the file.
bool NamesFolder(const std::string& Path) {
#ifdef _WIN32
  if (!Path.empty() && (Path.back() == '/' || Path.back() == '\\')) return true;
#else
  if (!Path.empty() && Path.back() == '/') return true;
#endif
  return IsFolder(Path);
}

// The window's save dialog asks before it replaces a file.
bool MayReplace(TCliSession& Session, const std::string& Path) {
  std::error_code Error;
  if (!fs::exists(Path, Error)) return true;
  return Session.FrontEnd.ShowMessageBox(Path + " already exists.\r\nDo you want to replace it?", "Confirm Save As",
                                         MB_FLAGS_QUESTION) == MB_RESULT_YES;
}

// A read into one file: the file (null when nothing was saved), the bytes.
void AddReadFacts(TCliSession& Session, const std::string& File, bool Read, const TTransferOutcome& Outcome) {
  Session.Json["file"] = Read ? JsonPath(File) : TJson(nullptr);
  Session.Json["bytes"] = Outcome.Reached;
  Session.Json["bytes_total"] = Outcome.Total;
  if (Read) Session.Json["done"] = Session.FrontEnd.StatusText(1);
}

}  // namespace

int RunRead(TCliSession& Session, const TCommandArgs& Args) {
  const bool All = Args.Has("--all");
  if (All == !Args.Positionals.empty())
    return UsageError(Session, All ? "read: give game numbers or --all, not both" : "read: give game numbers or --all");
  std::vector<size_t> Wanted;
  for (const std::string& Text : Args.Positionals) {
    size_t Index = 0;
    if (!ParseIndex(Text, Index)) return UsageError(Session, "read: '" + Text + "' is no game number (1, 2, ...)");
    Wanted.push_back(Index);
  }

  std::unique_ptr<TDatFile> Dat;
  if (!LoadDatArgument(Session, Args, Dat)) return Session.Outcome(false);
  if (!Session.Connect()) return Session.Outcome(false);
  TCardRowVector Rows;
  if (!Session.ListWholePage(Rows)) return Session.Outcome(false);
  if (Rows.Rows.empty()) {
    Session.FrontEnd.Error(Session.PageName() + " lists no games");
    return Session.Outcome(false);
  }
  // The selection, in list order and each game once, as selected rows are.
  std::set<size_t> Selected;
  if (All)
    for (size_t I = 1; I <= Rows.Rows.size(); ++I) Selected.insert(I);
  for (size_t Index : Wanted) {
    if (Index > Rows.Rows.size()) {
      Session.FrontEnd.Error("no game " + std::to_string(Index) + " on " + Session.PageName() + ": it lists " +
                             std::to_string(Rows.Rows.size()) + " game(s)");
      return Session.Outcome(false);
    }
    Selected.insert(Index);
  }

  const std::optional<std::string> Output = Args.Value("-o");
  std::vector<std::pair<size_t, std::string>> Targets;
  if (Selected.size() == 1 && !(Output && NamesFolder(*Output))) {
    const size_t Index = *Selected.begin();
    const std::string Target = Output ? *Output : GameFileName(Rows.Rows[Index - 1].Title, ".gb");
    if (!MayReplace(Session, Target)) {
      Session.FrontEnd.Note("Nothing was read.");
      return Session.Outcome(false);
    }
    Targets.emplace_back(Index, Target);
  } else {
    const std::string Folder = Output ? *Output : ".";
    std::error_code Error;
    fs::create_directories(Folder, Error);
    if (!IsFolder(Folder)) {
      Session.FrontEnd.Error(Folder + ": no folder, and none can be made there");
      return Session.Outcome(false);
    }
    const char* Extension = Selected.size() == 1 ? ".gb" : ".GB";
    // Two games of one title get names of their own ("TITLE (2).GB"), so
    // neither replaces the other.
    std::vector<std::string> Titles;
    for (size_t Index : Selected) Titles.push_back(Rows.Rows[Index - 1].Title);
    const std::vector<std::string> Names = GameFileNames(Titles, Extension);
    std::map<std::string, size_t> Taken;
    size_t Next = 0;
    for (size_t Index : Selected) {
      const std::string Target = AddBackslash(Folder) + Names[Next++];
      Taken[Target] = Index;
      Targets.emplace_back(Index, Target);
    }
    // Every file that would be replaced is asked about before anything is
    // read, so a refusal leaves every file as it was.
    for (const auto& [Name, Index] : Taken) {
      (void)Index;
      if (!MayReplace(Session, Name)) {
        Session.FrontEnd.Note("Nothing was read.");
        return Session.Outcome(false);
      }
    }
  }

  bool AllRead = true;
  std::vector<std::string> Skipped;   // games whose file could not be made or whose read did not end
  TJson Files = TJson::array();
  uint64_t BytesRead = 0;
  for (size_t Next = 0; Next < Targets.size(); ++Next) {
    const auto& [Index, Target] = Targets[Next];
    const TCardRow& Row = Rows.Rows[Index - 1];
    const std::string Game = "game " + std::to_string(Index) + " \"" + DisplayTitle(Row.Title) + "\"";
    Session.FrontEnd.Note("Game " + std::to_string(Index) + " \"" + DisplayTitle(Row.Title) + "\" into " + Target);
    TTransferOutcome Read;
    TJson Facts = {{"index", Index}, {"title", JsonTitle(Row.Title)}, {"offset", Row.Offset}, {"size", Row.Size}};
    if (!ReadToFile(Row.Offset, Row.Offset + Row.Size, cmdReadRom, Target, Session.Link(), &Read)) {
      AllRead = false;
      Session.NoteUnread(Target, Read);
      Skipped.push_back(Game);
      Facts["file"] = nullptr;
      Facts["read"] = false;
      Facts["bytes"] = Read.Reached;
    } else {
      // A name the user gave stays; the others follow the DAT entry.
      Facts["file"] = JsonPath(JudgeBackup(Session, Dat.get(), Target, Row.Title, !(Output && !NamesFolder(*Output))));
      Facts["read"] = true;
      Facts["bytes"] = Row.Size;
      BytesRead += Row.Size;
    }
    Files.push_back(Facts);
    // A stop or a failed exchange ends the whole read; a file that could not
    // be made only skips its game.
    if (!Session.State.Operating) {
      for (size_t Rest = Next + 1; Rest < Targets.size(); ++Rest)
        Skipped.push_back("game " + std::to_string(Targets[Rest].first) + " \"" +
                          DisplayTitle(Rows.Rows[Targets[Rest].first - 1].Title) + "\"");
      break;
    }
  }
  if (Targets.size() > 1 && !Skipped.empty()) {
    std::string Line = "Not read: ";
    for (size_t I = 0; I < Skipped.size(); ++I) Line += (I ? ", " : "") + Skipped[I];
    Session.FrontEnd.Note(Line + ".");
  }
  Session.Json["page"] = Session.Options().Page;
  Session.Json["games"] = Files;
  Session.Json["bytes"] = BytesRead;
  Session.CloseOperation();
  return Session.Outcome(AllRead);
}

int RunReadSram(TCliSession& Session, const TCommandArgs& Args) {
  if (!Session.Connect()) return Session.Outcome(false);
  if (!MayReplace(Session, Args.Positionals[0])) {
    Session.FrontEnd.Note("Nothing was read.");
    return Session.Outcome(false);
  }
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  TTransferOutcome Outcome;
  const bool Read = ReadToFile(0, SaveRamSize, cmdReadSram, Args.Positionals[0], Session.Link(), &Outcome);
  if (!Read) Session.NoteUnread(Args.Positionals[0], Outcome);
  AddReadFacts(Session, Args.Positionals[0], Read, Outcome);
  Session.CloseOperation();
  return Session.Outcome(Read);
}

int RunReadRaw(TCliSession& Session, const TCommandArgs& Args) {
  uint32_t Size = 0;
  if (!ParseSizeArgument(Args.Positionals[0], Size))
    return UsageError(Session, "read-raw: '" + Args.Positionals[0] +
                                   "' is no size: one of 32K 64K 128K 256K 512K 1024K(1M) 2048K(2M) 4096K(4M) "
                                   "8192K(8M), or a byte count up to 8388608");
  const uint32_t PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  if (const std::string Refusal = RawReadRefusal(PageBase, Size); !Refusal.empty())
    return UsageError(Session, "read-raw: " + Refusal);
  if (!Session.Connect()) return Session.Outcome(false);
  if (!MayReplace(Session, Args.Positionals[1])) {
    Session.FrontEnd.Note("Nothing was read.");
    return Session.Outcome(false);
  }
  Session.State.PageBase = PageBase;
  TTransferOutcome Outcome;
  const bool Read = ReadToFile(0, Size, cmdReadRom, Args.Positionals[1], Session.Link(), &Outcome);
  if (!Read) Session.NoteUnread(Args.Positionals[1], Outcome);
  Session.Json["page"] = Session.Options().Page;
  AddReadFacts(Session, Args.Positionals[1], Read, Outcome);
  Session.CloseOperation();
  return Session.Outcome(Read);
}
