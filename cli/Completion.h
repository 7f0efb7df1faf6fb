// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "cli/CliOptions.h"

// Shell completion of flashquill-cli, made from the command table so that
// every command, its options and its file arguments are completed as soon as
// the table has them.

// What the word at one place completes to.
enum class TCompletionKind {
  None,       // nothing to offer (a number, a hexadecimal value)
  File,       // any file
  Dir,        // a folder
  Suffixes,   // files with one of the suffixes of Suffixes, any case, and folders
  Words,      // one of the words of Words
  Command,    // a command's name ("help COMMAND")
};

struct TCompletion {
  TCompletionKind Kind = TCompletionKind::None;
  std::vector<std::string> Suffixes;   // without the dot: "gb", "gbc"
  std::vector<std::string> Words;
};

struct TCompletedOption {
  std::string Name;        // "--page", "-o"
  std::string Help;        // one line, may be empty
  bool TakesValue = false;
  bool ValueJoined = false;     // only as --name=VALUE (the options before the command)
  bool ValueOptional = false;   // --emulate or --emulate=DIR
  TCompletion Value;
};

struct TCompletedCommand {
  std::string Name;
  std::string Summary;
  std::vector<TCompletedOption> Options;
  std::vector<TCompletion> Positionals;   // by place
  TCompletion Rest;                       // the places after those
};

struct TCompletionModel {
  std::vector<TCompletedOption> Options;   // those of every command, also before it
  std::vector<TCompletedCommand> Commands;  // the table's, then "help"
};

// The sizes offered for read-raw's SIZE: the read-size list's items in the
// short form that needs no quoting in a shell.
const std::vector<std::string>& RawReadSizeWords();

// Reads the table; false with Error naming the command when its Completion
// text is malformed or names an option the command does not have.
bool MakeCompletionModel(const std::vector<TCommandInfo>& Table, TCompletionModel& Model, std::string& Error);

std::string BashCompletion(const TCompletionModel& Model);
std::string ZshCompletion(const TCompletionModel& Model);
std::string FishCompletion(const TCompletionModel& Model);
