// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include <cstdlib>

#include "core/support/NumberText.h"

namespace {

bool StartsWith(const std::string& Text, const std::string& Prefix) { return Text.rfind(Prefix, 0) == 0; }

bool ParseFault(const std::string& Text, TReadFault& Fault) {
  const size_t Colon = Text.find(':');
  uint64_t Offset = 0, Mask = 0;
  if (Colon == std::string::npos || !ParseUnsignedUpTo(Text.substr(0, Colon), 4095, Offset) ||
      !ParseUnsignedUpTo(Text.substr(Colon + 1), 0xFF, Mask) || Mask == 0)
    return false;
  Fault.Offset = static_cast<uint32_t>(Offset);
  Fault.Mask = static_cast<uint8_t>(Mask);
  return true;
}

}  // namespace

bool ParseCliOptions(int Argc, const char* const* Argv, TCliOptions& Options, std::string& Error) {
  Error.clear();
  bool Rest = false;   // after "--" everything belongs to the command
  for (int I = 1; I < Argc; ++I) {
    const std::string Arg = Argv[I] ? Argv[I] : "";
    if (!Rest) {
      if (Arg == "--") {
        Rest = true;
        continue;
      }
      std::string LinkError;
      if (ParseLinkOption(Arg, Options.Link, LinkError)) {
        if (!LinkError.empty()) {
          Error = LinkError;
          return false;
        }
        continue;
      }
      if (StartsWith(Arg, "--page")) {
        const std::string Value = Arg.size() > 7 && Arg[6] == '=' ? Arg.substr(7) : "";
        if (Value != "1" && Value != "2") {
          Error = "--page=" + Value + ": the page is 1 or 2 (--page=1 or --page=2)";
          return false;
        }
        Options.Page = Value[0] - '0';
        Options.PageGiven = true;
        continue;
      }
      if (StartsWith(Arg, "--emulate-flip")) {
        TReadFault Fault;
        if (Arg.size() < 16 || Arg[14] != '=' || !ParseFault(Arg.substr(15), Fault)) {
          Error = Arg + ": expected --emulate-flip=OFFSET:MASK (OFFSET below 4096, MASK 1 to 0xFF)";
          return false;
        }
        Options.Fault = Fault;
        continue;
      }
      if (Arg == "--yes" || Arg == "-y") {
        Options.AssumeYes = true;
        continue;
      }
      if (Arg == "--version") {
        Options.Version = true;
        continue;
      }
      if (Options.Command.empty() && (Arg == "--help" || Arg == "-h")) {
        Options.Help = true;
        continue;
      }
    }
    if (Options.Command.empty()) {
      if (Arg.size() > 1 && Arg[0] == '-') {
        Error = "unknown option '" + Arg + "'";
        return false;
      }
      Options.Command = Arg;
      continue;
    }
    Options.Arguments.push_back(Rest ? "\x01" + Arg : Arg);
  }
  if (Options.Fault && !Options.Link.Emulate) {
    Error = "--emulate-flip is a control of the emulated cable; it needs --emulate";
    return false;
  }
  if (const std::string LinkError = CheckLinkOptions(Options.Link); !LinkError.empty()) {
    Error = LinkError;
    return false;
  }
  return true;
}

std::optional<std::string> TCommandArgs::Value(const std::string& Name) const {
  const auto Found = Values.find(Name);
  if (Found == Values.end()) return std::nullopt;
  return Found->second;
}

bool ParseCommandArgs(const TCommandInfo& Command, const std::vector<std::string>& Arguments, TCommandArgs& Args,
                      std::string& Error) {
  const std::string Name = Command.Name;
  for (size_t I = 0; I < Arguments.size(); ++I) {
    const std::string& Arg = Arguments[I];
    // Marked by the option parser: it came after "--", a name whatever it looks like.
    if (!Arg.empty() && Arg[0] == '\x01') {
      Args.Positionals.push_back(Arg.substr(1));
      continue;
    }
    if (Arg == "--help" || Arg == "-h") {
      Args.Help = true;
      continue;
    }
    if (Arg.size() > 1 && Arg[0] == '-') {
      const size_t Equals = Arg.find('=');
      const std::string Option = Arg.substr(0, Equals);
      if (Command.Flags.count(Option)) {
        if (Equals != std::string::npos) {
          Error = Name + ": " + Option + " takes no value";
          return false;
        }
        Args.Flags.insert(Option);
        continue;
      }
      if (Command.Valued.count(Option)) {
        std::string Value;
        if (Equals != std::string::npos) {
          Value = Arg.substr(Equals + 1);
        } else if (I + 1 < Arguments.size()) {
          Value = Arguments[++I];
          if (!Value.empty() && Value[0] == '\x01') Value.erase(0, 1);
        }
        if (Value.empty()) {
          Error = Name + ": " + Option + " needs a value";
          return false;
        }
        if (Args.Values.count(Option)) {
          Error = Name + ": " + Option + " is given twice";
          return false;
        }
        Args.Values[Option] = Value;
        continue;
      }
      Error = Name + ": unknown option '" + Arg + "'";
      return false;
    }
    Args.Positionals.push_back(Arg);
  }
  if (Args.Help) return true;
  if (Args.Positionals.size() < Command.MinPositionals) {
    Error = Name + ": missing " + (Command.MinPositionals == 1 && Command.MaxPositionals != 1 ? "FILE" : "argument") +
            " (usage: " + Name + " " + Command.Synopsis + ")";
    return false;
  }
  if (Args.Positionals.size() > Command.MaxPositionals) {
    Error = Name + ": too many arguments, from '" + Args.Positionals[Command.MaxPositionals] + "' (usage: " + Name +
            (Command.Synopsis[0] ? " " : "") + Command.Synopsis + ")";
    return false;
  }
  return true;
}
