// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

#include <nlohmann/json.hpp>

struct TCardWriteResult;
struct TContactCheck;
struct TSaveBackupResult;
struct TVaultEntry;
class TCliFrontEnd;
class TSaveVault;

// The JSON objects are built here and nowhere else, field by field, in the
// order they are written.
using TJson = nlohmann::ordered_json;

// --json: one object on standard output for the whole command, whatever it
// did. The command adds its facts as it goes; Finish adds what every object
// has ("command" first, then the facts, then "ok", "exit" and "error") and
// prints it. While the object is being gathered, anything else the command
// would print on standard output is dropped, so that a script reads one
// object and nothing else; the lines on standard error stay.
class TJsonOutcome {
public:
  TJsonOutcome() = default;
  ~TJsonOutcome();
  TJsonOutcome(const TJsonOutcome&) = delete;
  TJsonOutcome& operator=(const TJsonOutcome&) = delete;

  void Start(const std::string& Command);
  bool Enabled() const { return FEnabled; }
  TJson& Facts() { return FFacts; }
  TJson& operator[](const char* Key) { return FFacts[Key]; }
  // Prints the object; Exit is the command's exit status.
  void Finish(int Exit, const TCliFrontEnd& FrontEnd);

private:
  bool FEnabled = false;
  bool FFinished = false;
  int FSavedOut = -1;
  TJson FFacts = TJson::object();
};

// A command line that is wrong, for a command asked for with --json: its
// object all the same (exit 2), so a script reads why.
void PrintUsageJson(const std::string& Command, const std::string& Error, int Exit);

// A title (raw header bytes, Latin-1) as a JSON string.
TJson JsonTitle(const std::string& Title);
// A path or text that is the system's own (UTF-8 here); bytes that are no
// UTF-8 are replaced when printed.
TJson JsonPath(const std::string& Path);

// The facts of a write through the safe write: "done", "bytes",
// "bytes_total", "blocks", "verify", "partial", "backup".
void AddWriteFacts(TJson& Facts, const TCardWriteResult& Result);
// The contact check's verdict: whether it ran to its end, stable or not,
// where two answers differed.
TJson ContactFacts(const TContactCheck& Contact);
// "backup": null when none was asked for; else made, new, file, sha1, size,
// time, titles, dropped, or the error when none could be made.
TJson BackupFacts(const TSaveBackupResult& Result, bool WentOnWithout = false);
// One vault entry, numbered as the backups command numbers it.
TJson VaultEntryFacts(const TSaveVault& Vault, const TVaultEntry& Entry, size_t Number);
// The error object: the last error line and the number of an
// "Error Code: N" among the lines (null when none has one).
TJson ErrorFacts(const TCliFrontEnd& FrontEnd);
