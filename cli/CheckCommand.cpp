// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CheckCommand.h"

#include <cstdio>

#include "cli/Commands.h"
#include "cli/DatSupport.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/dat/DatVerdict.h"
#include "core/queue/GameFileInfo.h"

namespace {

struct TChecked {
  std::string Source;     // the file, or "game N"
  std::string Title;      // header title, raw bytes
  bool Read = false;
  TGameHashes Hashes;
  std::string Problem;    // why it could not be read
};

// The text lines on standard output, the same facts in the JSON object.
void Print(TCliSession& Session, const std::vector<TChecked>& Checked, const TDatFile* Dat) {
  std::string Out;
  TJson Dumps = TJson::array();
  for (const TChecked& C : Checked) {
    // A problem names the file itself.
    Out += (C.Read ? C.Source + ": " + DumpLine(Dat, C.Hashes, C.Title) : C.Problem) + "\n";
    TJson Dump = {{"source", JsonPath(C.Source)}, {"title", JsonTitle(C.Title)}};
    if (!C.Read) {
      Dump["error"] = JsonPath(C.Problem);
    } else {
      Dump["size"] = C.Hashes.Size;
      Dump["crc32"] = Crc32Text(C.Hashes.Crc32);
      Dump["sha1"] = Sha1Text(C.Hashes.Sha1);
      if (Dat) Dump.update(DatFacts(JudgeDump(*Dat, C.Hashes, C.Title)));
    }
    Dumps.push_back(Dump);
  }
  Session.Json["dumps"] = Dumps;
  std::fputs(Out.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int TCheckCommand::Run(TCliSession& Session, const TCommandArgs& Args) {
  const bool Card = Args.Has("--card");
  if (Card == !Args.Positionals.empty())
    return UsageError(Session, Card ? "check: give files or --card, not both" : "check: give files or --card");
  std::unique_ptr<TDatFile> Dat;
  if (!LoadDatArgument(Session, Args, Dat)) return ExitFailed;

  std::vector<TChecked> Checked;
  bool AllGood = true;
  if (Card) {
    if (!Session.OpenPort() || !Session.Connect()) return Session.Outcome(false);
    TCardRowVector Rows;
    if (!Session.ListWholePage(Rows)) return Session.Outcome(false);
    for (size_t I = 0; I < Rows.Rows.size(); ++I) {
      TChecked C;
      C.Source = "game " + std::to_string(I + 1);
      C.Title = Rows.Rows[I].Title;
      C.Read = HashCardGame(Session, Rows.Rows[I], C.Hashes);
      if (!C.Read) {
        // A stop or a failed exchange ends the check; what was read is said.
        Session.CloseOperation();
        Print(Session, Checked, Dat.get());
        return Session.Outcome(false);
      }
      Checked.push_back(C);
    }
    Session.CloseOperation();
  } else {
    for (const std::string& File : Args.Positionals) {
      TChecked C;
      C.Source = File;
      // Hashed first: a FIFO or a folder is refused there, never opened.
      C.Read = HashFile(File, C.Hashes, C.Problem);
      if (C.Read) C.Title = ReadGameHeader(File).Title;
      Checked.push_back(C);
    }
  }
  Session.FrontEnd.Finish();
  Print(Session, Checked, Dat.get());
  for (const TChecked& C : Checked) {
    if (!C.Read) AllGood = false;
    else if (Dat && JudgeDump(*Dat, C.Hashes, C.Title).Match != TDatMatch::Verified) AllGood = false;
  }
  return Card ? Session.Outcome(AllGood) : (AllGood ? ExitOk : ExitFailed);
}
