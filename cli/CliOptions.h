// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/link/LinkOptions.h"

// A test control of the emulated cable: the first reply of the next read-back
// (of --verify or of a factory test) has the bits Mask of its byte Offset
// flipped, as a flaky card would answer.
struct TReadFault {
  uint32_t Offset = 0;
  uint8_t Mask = 0;
};

// The options that hold for every command; they may stand anywhere before
// "--".
struct TCliOptions {
  TLinkOptions Link;
  int Page = 1;                  // 1 or 2
  bool PageGiven = false;
  bool AssumeYes = false;        // --yes: confirm every question
  bool Help = false;
  bool Version = false;
  std::optional<TReadFault> Fault;
  std::string Command;           // empty: none given
  std::vector<std::string> Arguments;   // what follows the command, in order
};

// Returns false with Error set to one line for a malformed command line.
bool ParseCliOptions(int Argc, const char* const* Argv, TCliOptions& Options, std::string& Error);

// What one command accepts after its name.
struct TCommandInfo {
  const char* Name;
  const char* Synopsis;        // the arguments, for the usage line
  const char* Summary;         // one line for the command list
  const char* Details;         // the command's own help text
  std::set<std::string> Flags;             // options without a value ("--json")
  std::set<std::string> Valued;            // options with a value ("-o", "--set")
  size_t MinPositionals;
  size_t MaxPositionals;                    // SIZE_MAX: any number
  bool NeedsCable;
  // What shell completion offers for the command's names, one word a place
  // (the last repeating when any number are taken), and OPTION=WORD for an
  // option's value. A word is "index" or "none" (nothing to offer), "file",
  // "dir", "size" (the read sizes) or file suffixes such as "gb|gbc". Left
  // out: every name and value is a file.
  const char* Completion = nullptr;
};

const std::vector<TCommandInfo>& CommandTable();
const TCommandInfo* FindCommand(const std::string& Name);

struct TCommandArgs {
  std::set<std::string> Flags;
  std::map<std::string, std::string> Values;
  std::vector<std::string> Positionals;
  bool Help = false;
  bool Has(const std::string& Flag) const { return Flags.count(Flag) != 0; }
  std::optional<std::string> Value(const std::string& Name) const;
};

// Sorts a command's arguments into options and names; false with Error set
// for an unknown option, a missing value or the wrong number of names.
bool ParseCommandArgs(const TCommandInfo& Command, const std::vector<std::string>& Arguments, TCommandArgs& Args,
                      std::string& Error);
