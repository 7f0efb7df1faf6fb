// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Completion.h"

#include <cstdint>
#include <sstream>

namespace {

TCompletion Words(std::vector<std::string> List) {
  TCompletion Completion;
  Completion.Kind = TCompletionKind::Words;
  Completion.Words = std::move(List);
  return Completion;
}

TCompletion OfKind(TCompletionKind Kind) {
  TCompletion Completion;
  Completion.Kind = Kind;
  return Completion;
}

TCompletedOption Option(std::string Name, std::string Help, TCompletion Value = {}, bool TakesValue = false,
                        bool Optional = false) {
  TCompletedOption Result;
  Result.Name = std::move(Name);
  Result.Help = std::move(Help);
  Result.TakesValue = TakesValue;
  Result.ValueJoined = TakesValue;
  Result.ValueOptional = Optional;
  Result.Value = std::move(Value);
  return Result;
}

// The options that stand before the command (and may stand after it). The
// tests hold this list against the program's help text and its parser.
std::vector<TCompletedOption> GlobalOptions() {
  return {
      Option("--emulate", "use the cable and card in software, the card kept in DIR", OfKind(TCompletionKind::Dir),
             true, true),
      Option("--usb", "the cable's USB vendor and product numbers (VVVV:PPPP)", {}, true),
      Option("--page", "the page to work on", Words({"1", "2"}), true),
      Option("--trace", "write every transfer to FILE", OfKind(TCompletionKind::File), true),
      Option("--yes", "answer the questions with yes"),
      Option("-y", "answer the questions with yes"),
      Option("--help", "the help text"),
      Option("-h", "the help text"),
      Option("--version", "the program's version"),
      Option("--emulate-unplug-after", "test aid: the cable is pulled after N exchanges", {}, true),
      Option("--emulate-weak-cell", "test aid: a worn flash cell (ADDRESS:MASK)", {}, true),
      Option("--emulate-flip", "test aid: every second read flips a bit; =OFFSET:MASK: the next read-back only", {},
             true, true),
      Option("--emulate-timing", "time the emulated cable as a real one would take (completions every US)", {},
             true, true),
      Option("--writes-in-flight", "write packets kept under way at once (1 to 64)", {}, true),
  };
}

std::vector<std::string> Split(const std::string& Text, char Separator) {
  std::vector<std::string> Parts;
  std::string Part;
  std::istringstream In(Text);
  while (std::getline(In, Part, Separator))
    if (!Part.empty()) Parts.push_back(Part);
  return Parts;
}

bool ParseKind(const std::string& Word, TCompletion& Completion) {
  if (Word == "none" || Word == "index") Completion = OfKind(TCompletionKind::None);
  else if (Word == "file") Completion = OfKind(TCompletionKind::File);
  else if (Word == "dir") Completion = OfKind(TCompletionKind::Dir);
  else if (Word == "size") Completion = Words(RawReadSizeWords());
  else {
    Completion = OfKind(TCompletionKind::Suffixes);
    Completion.Suffixes = Split(Word, '|');
    if (Completion.Suffixes.empty()) return false;
    for (const std::string& Suffix : Completion.Suffixes)
      for (char C : Suffix)
        if (!((C >= 'a' && C <= 'z') || (C >= '0' && C <= '9'))) return false;
  }
  return true;
}

// The option's line in the command's help text ("  -o PATH  the file or
// folder"), without the option and its value's name.
std::string OptionHelp(const char* Details, const std::string& Name, bool Valued) {
  for (const std::string& Line : Split(Details ? Details : "", '\n')) {
    if (Line.rfind("  " + Name + " ", 0) != 0) continue;
    std::string Rest = Line.substr(Name.size() + 2);
    Rest.erase(0, Rest.find_first_not_of(' '));
    if (Valued) {
      const size_t End = Rest.find(' ');
      bool Upper = End != std::string::npos && End > 0;
      for (size_t I = 0; Upper && I < End; ++I) Upper = !(Rest[I] >= 'a' && Rest[I] <= 'z');
      if (Upper) Rest.erase(0, Rest.find_first_not_of(' ', End));
    }
    return Rest;
  }
  return {};
}

std::string Joined(const std::vector<std::string>& Words, const std::string& Separator = " ") {
  std::string Text;
  for (const std::string& Word : Words) Text += (Text.empty() ? "" : Separator) + Word;
  return Text;
}

// A shell word in single quotes.
std::string Quoted(const std::string& Text) {
  std::string Out = "'";
  for (char C : Text) Out += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Out + "'";
}

const char* Header = "made by the build from flashquill-cli's command table; edits are lost.";

// ---- bash ----------------------------------------------------------------------

std::string BashKind(const TCompletion& Completion) {
  switch (Completion.Kind) {
    case TCompletionKind::None: return "none";
    case TCompletionKind::File: return "file";
    case TCompletionKind::Dir: return "dir";
    case TCompletionKind::Command: return "command";
    case TCompletionKind::Words: return "words:" + Joined(Completion.Words);
    case TCompletionKind::Suffixes: return "suffix:" + Joined(Completion.Suffixes, "|");
  }
  return "none";
}

}  // namespace

const std::vector<std::string>& RawReadSizeWords() {
  static const std::vector<std::string> Sizes = {"32K", "64K", "128K", "256K", "512K", "1M", "2M", "4M", "8M"};
  return Sizes;
}

bool MakeCompletionModel(const std::vector<TCommandInfo>& Table, TCompletionModel& Model, std::string& Error) {
  Model = {};
  Model.Options = GlobalOptions();
  for (const TCommandInfo& Info : Table) {
    TCompletedCommand Command;
    Command.Name = Info.Name;
    Command.Summary = Info.Summary;
    for (const std::string& Flag : Info.Flags)
      Command.Options.push_back(Option(Flag, OptionHelp(Info.Details, Flag, false)));
    for (const std::string& Name : Info.Valued) {
      TCompletedOption Valued = Option(Name, OptionHelp(Info.Details, Name, true), OfKind(TCompletionKind::File), true);
      Valued.ValueJoined = false;
      Command.Options.push_back(Valued);
    }
    // Without a word for them, a command's names are files.
    std::vector<TCompletion> Places;
    for (const std::string& Word : Split(Info.Completion ? Info.Completion : "", ' ')) {
      const size_t Equals = Word.find('=');
      TCompletion Completion;
      if (!ParseKind(Word.substr(Equals == std::string::npos ? 0 : Equals + 1), Completion)) {
        Error = std::string(Info.Name) + ": '" + Word + "' is no completion (none, index, file, dir, size or suffixes)";
        return false;
      }
      if (Equals == std::string::npos) {
        Places.push_back(Completion);
        continue;
      }
      const std::string Name = Word.substr(0, Equals);
      bool Found = false;
      for (TCompletedOption& Valued : Command.Options)
        if (Valued.Name == Name && Valued.TakesValue) {
          Valued.Value = Completion;
          Found = true;
        }
      if (!Found) {
        Error = std::string(Info.Name) + ": completion for '" + Name + "', which is none of its options with a value";
        return false;
      }
    }
    if (Places.empty() && Info.MaxPositionals > 0) Places.push_back(OfKind(TCompletionKind::File));
    const TCompletion Last = Places.empty() ? OfKind(TCompletionKind::None) : Places.back();
    const size_t Named = Info.MaxPositionals == SIZE_MAX ? Places.size() : Info.MaxPositionals;
    for (size_t I = 0; I < Named && I < 64; ++I)
      Command.Positionals.push_back(I < Places.size() ? Places[I] : Last);
    Command.Rest = Info.MaxPositionals == SIZE_MAX ? Last : OfKind(TCompletionKind::None);
    Model.Commands.push_back(Command);
  }
  TCompletedCommand Help;
  Help.Name = "help";
  Help.Summary = "the help text, or a command's own";
  Help.Positionals.push_back(OfKind(TCompletionKind::Command));
  Model.Commands.push_back(Help);
  return true;
}

std::string BashCompletion(const TCompletionModel& Model) {
  std::vector<std::string> Commands;
  for (const TCompletedCommand& Command : Model.Commands) Commands.push_back(Command.Name);
  std::ostringstream Out;
  Out << "# bash completion for flashquill-cli, " << Header << "\n"
      << "# Needs bash-completion's helpers (_init_completion, _filedir).\n\n"
      << "# Puts into COMPREPLY what a word of the kind $1 completes to.\n"
      << "_flashquill_cli_offer()\n{\n"
      << "    local IFS=$' \\t\\n'\n"
      << "    case $1 in\n"
      << "        file) _filedir ;;\n"
      << "        dir) _filedir -d ;;\n"
      << "        suffix:*) _filedir \"${1#suffix:}\" ;;\n"
      << "        words:*) COMPREPLY=($(compgen -W \"${1#words:}\" -- \"$cur\")) ;;\n"
      << "        command) COMPREPLY=($(compgen -W " << Quoted(Joined(Commands)) << " -- \"$cur\")) ;;\n"
      << "    esac\n}\n\n";

  // The options before the command: their value kinds, and the words offered.
  Out << "# The kind of value of an option before the command.\n"
      << "_flashquill_cli_global_value()\n{\n    case $1 in\n";
  std::vector<std::string> GlobalWords;
  for (const TCompletedOption& Option : Model.Options) {
    if (Option.TakesValue) {
      Out << "        " << Option.Name << ") echo " << Quoted(BashKind(Option.Value)) << " ;;\n";
      if (Option.ValueOptional) GlobalWords.push_back(Option.Name);
      GlobalWords.push_back(Option.Name + "=");
    } else {
      GlobalWords.push_back(Option.Name);
    }
  }
  Out << "        *) return 1 ;;\n    esac\n}\n\n";

  // Each command: its options without a value, those with one and its places.
  Out << "# For command $1: flags, valued options, and the kind of each place\n"
      << "# (the last one repeating when the command takes any number).\n"
      << "_flashquill_cli_command()\n{\n    flags='' valued='' places=() rest=none\n    case $1 in\n";
  for (const TCompletedCommand& Command : Model.Commands) {
    std::vector<std::string> Flags, Valued, Places;
    for (const TCompletedOption& Option : Command.Options)
      (Option.TakesValue ? Valued : Flags).push_back(Option.Name);
    for (const TCompletion& Place : Command.Positionals) Places.push_back(Quoted(BashKind(Place)));
    Out << "        " << Command.Name << ")\n"
        << "            flags=" << Quoted(Joined(Flags)) << " valued=" << Quoted(Joined(Valued)) << "\n"
        << "            places=(" << Joined(Places) << ") rest=" << Quoted(BashKind(Command.Rest)) << " ;;\n";
  }
  Out << "        *) return 1 ;;\n    esac\n}\n\n";

  Out << "# The kind of value of option $2 of command $1.\n"
      << "_flashquill_cli_option_value()\n{\n    case $1:$2 in\n";
  for (const TCompletedCommand& Command : Model.Commands)
    for (const TCompletedOption& Option : Command.Options)
      if (Option.TakesValue)
        Out << "        " << Quoted(Command.Name + ":" + Option.Name) << ") echo " << Quoted(BashKind(Option.Value))
            << " ;;\n";
  Out << "        *) echo file ;;\n    esac\n}\n\n";

  Out << "_flashquill_cli()\n{\n"
      << "    local cur prev words cword split\n"
      << "    _init_completion -s || return\n\n"
      << "    local globals=" << Quoted(Joined(GlobalWords)) << "\n"
      << "    local command='' i word kind flags valued places rest\n"
      << "    local place=0 skip='' after_dashes=''\n"
      << "    for ((i = 1; i < cword; i++)); do\n"
      << "        word=${words[i]}\n"
      << "        if [[ -z $command ]]; then\n"
      << "            [[ $word == -* ]] && continue\n"
      << "            command=$word\n"
      << "            _flashquill_cli_command \"$command\" || return\n"
      << "            continue\n"
      << "        fi\n"
      << "        if [[ $skip ]]; then skip=''; continue; fi\n"
      << "        if [[ -z $after_dashes ]]; then\n"
      << "            if [[ $word == -- ]]; then after_dashes=1; continue; fi\n"
      << "            if [[ $word == -* ]]; then\n"
      << "                [[ $word != *=* && \" $valued \" == *\" $word \"* ]] && skip=1\n"
      << "                continue\n"
      << "            fi\n"
      << "        fi\n"
      << "        ((place++))\n"
      << "    done\n\n"
      << "    # The value of an option: --name=VALUE, or the word after a command's option.\n"
      << "    if [[ $split == true ]]; then\n"
      << "        if [[ $command ]] && [[ \" $valued \" == *\" $prev \"* ]]; then\n"
      << "            kind=$(_flashquill_cli_option_value \"$command\" \"$prev\")\n"
      << "        else\n"
      << "            kind=$(_flashquill_cli_global_value \"$prev\") || kind=none\n"
      << "        fi\n"
      << "        _flashquill_cli_offer \"$kind\"\n"
      << "        return\n"
      << "    fi\n"
      << "    if [[ $skip ]]; then\n"
      << "        _flashquill_cli_offer \"$(_flashquill_cli_option_value \"$command\" \"$prev\")\"\n"
      << "        return\n"
      << "    fi\n"
      << "    if [[ -z $after_dashes && $cur == -* ]]; then\n"
      << "        COMPREPLY=($(compgen -W \"$globals ${flags-} ${valued-}\" -- \"$cur\"))\n"
      << "        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace\n"
      << "        return\n"
      << "    fi\n"
      << "    if [[ -z $command ]]; then\n"
      << "        _flashquill_cli_offer command\n"
      << "        return\n"
      << "    fi\n"
      << "    if ((place < ${#places[@]})); then kind=${places[place]}; else kind=$rest; fi\n"
      << "    _flashquill_cli_offer \"$kind\"\n"
      << "}\n"
      << "complete -F _flashquill_cli flashquill-cli\n";
  return Out.str();
}

// ---- zsh -------------------------------------------------------------------------

namespace {

// Text inside an _arguments description or message.
std::string ZshArgumentText(const std::string& Text) {
  std::string Out;
  for (char C : Text) {
    if (C == '[' || C == ']' || C == ':' || C == '\\') Out += '\\';
    Out += C;
  }
  return Out;
}

std::string ZshAction(const TCompletion& Completion) {
  switch (Completion.Kind) {
    case TCompletionKind::None: return " ";
    case TCompletionKind::File: return "_files";
    case TCompletionKind::Dir: return "_files -/";
    case TCompletionKind::Command: return "->command";
    case TCompletionKind::Words: return "(" + Joined(Completion.Words) + ")";
    case TCompletionKind::Suffixes: return "_files -g \"*.(#i)(" + Joined(Completion.Suffixes, "|") + ")(-.)\"";
  }
  return " ";
}

std::string ZshOptionSpec(const TCompletedOption& Option, bool Global) {
  std::string Name = Option.Name;
  if (Option.TakesValue && Global) Name += "=-";
  std::string Entry = Name + "[" + ZshArgumentText(Option.Help.empty() ? Option.Name : Option.Help) + "]";
  if (Option.TakesValue) Entry += std::string(Option.ValueOptional ? "::" : ":") + "value:" + ZshAction(Option.Value);
  return Quoted(Entry);
}

}  // namespace

std::string ZshCompletion(const TCompletionModel& Model) {
  std::ostringstream Out;
  Out << "#compdef flashquill-cli\n# zsh completion for flashquill-cli, " << Header << "\n\n"
      << "_flashquill-cli() {\n"
      << "  local curcontext=\"$curcontext\" state line ret=1\n"
      << "  local -a globals commands\n"
      << "  globals=(\n";
  for (const TCompletedOption& Option : Model.Options) Out << "    " << ZshOptionSpec(Option, true) << "\n";
  Out << "  )\n  commands=(\n";
  for (const TCompletedCommand& Command : Model.Commands)
    Out << "    " << Quoted(Command.Name + ":" + Command.Summary) << "\n";
  Out << "  )\n"
      << "  _arguments -C -S : $globals '1:command:->command' '*::argument:->argument' && ret=0\n"
      << "  if [[ $state == argument ]]; then\n"
      << "    curcontext=\"${curcontext%:*:*}:flashquill-cli-$words[1]:\"\n"
      << "    case $words[1] in\n";
  for (const TCompletedCommand& Command : Model.Commands) {
    Out << "      " << Quoted(Command.Name) << ")\n        _arguments -C -S : $globals";
    for (const TCompletedOption& Option : Command.Options) Out << " \\\n          " << ZshOptionSpec(Option, false);
    for (size_t I = 0; I < Command.Positionals.size(); ++I)
      Out << " \\\n          " << Quoted(std::to_string(I + 1) + ":argument:" + ZshAction(Command.Positionals[I]));
    if (Command.Rest.Kind != TCompletionKind::None)
      Out << " \\\n          " << Quoted("*:argument:" + ZshAction(Command.Rest));
    Out << " && ret=0 ;;\n";
  }
  Out << "    esac\n  fi\n"
      << "  [[ $state == command ]] && _describe -t commands 'flashquill-cli command' commands && ret=0\n"
      << "  return ret\n}\n\n"
      << "_flashquill-cli \"$@\"\n";
  return Out.str();
}

// ---- fish -------------------------------------------------------------------------

namespace {

std::string FishKind(const TCompletion& Completion) {
  switch (Completion.Kind) {
    case TCompletionKind::None: return "none";
    case TCompletionKind::File: return "file";
    case TCompletionKind::Dir: return "dir";
    case TCompletionKind::Command: return "command";
    case TCompletionKind::Words: return "words " + Joined(Completion.Words);
    case TCompletionKind::Suffixes: return "suffix " + Joined(Completion.Suffixes);
  }
  return "none";
}

// complete's option naming: -l for --name, -s for -x, -o for -name.
std::string FishOptionName(const std::string& Name) {
  if (Name.rfind("--", 0) == 0) return "-l " + Name.substr(2);
  if (Name.size() == 2) return "-s " + Name.substr(1);
  return "-o " + Name.substr(1);
}

}  // namespace

std::string FishCompletion(const TCompletionModel& Model) {
  std::ostringstream Out;
  Out << "# fish completion for flashquill-cli, " << Header << "\n\n"
      << "# For command $argv[1]: its options with a value, then the kind of each place.\n"
      << "function __flashquill_cli_command\n    switch $argv[1]\n";
  for (const TCompletedCommand& Command : Model.Commands) {
    std::vector<std::string> Valued;
    for (const TCompletedOption& Option : Command.Options)
      if (Option.TakesValue) Valued.push_back(Option.Name);
    Out << "        case " << Quoted(Command.Name) << "\n"
        << "            set -g __flashquill_cli_valued " << Joined(Valued) << "\n"
        << "            set -g __flashquill_cli_places";
    for (const TCompletion& Place : Command.Positionals) Out << " " << Quoted(FishKind(Place));
    Out << "\n            set -g __flashquill_cli_rest " << Quoted(FishKind(Command.Rest)) << "\n";
  }
  // set keeps the status before it: the found command says so itself.
  Out << "        case '*'\n            return 1\n    end\n    return 0\nend\n\n"
      << "# What the word being completed is: \"command\", or the kind of a command's name.\n"
      << "function __flashquill_cli_kind\n"
      << "    set -l words (commandline -opc)\n"
      << "    set -e words[1]\n"
      << "    set -l command\n"
      << "    set -l place 0\n"
      << "    set -l skip 0\n"
      << "    set -l after_dashes 0\n"
      << "    for word in $words\n"
      << "        if test -z \"$command\"\n"
      << "            string match -q -- '-*' $word; and continue\n"
      << "            set command $word\n"
      << "            __flashquill_cli_command $command; or return 1\n"
      << "            continue\n"
      << "        end\n"
      << "        if test $skip = 1\n            set skip 0\n            continue\n        end\n"
      << "        if test $after_dashes = 0\n"
      << "            if test \"$word\" = --\n                set after_dashes 1\n                continue\n            end\n"
      << "            if string match -q -- '-*' $word\n"
      << "                contains -- $word $__flashquill_cli_valued; and set skip 1\n"
      << "                continue\n"
      << "            end\n"
      << "        end\n"
      << "        set place (math $place + 1)\n"
      << "    end\n"
      << "    if test -z \"$command\"\n        echo command\n        return\n    end\n"
      << "    test $skip = 1; and return 1   # an option's value: its own completion says it\n"
      << "    set place (math $place + 1)\n"
      << "    if test $place -le (count $__flashquill_cli_places)\n"
      << "        echo $__flashquill_cli_places[$place]\n"
      << "    else\n        echo $__flashquill_cli_rest\n    end\nend\n\n"
      << "# The word being completed, without the \"--name=\" of an option in front.\n"
      << "function __flashquill_cli_token\n"
      << "    string replace -r -- '^--[^=]*=' '' (commandline -ct)\nend\n\n"
      << "# The files of the current word with one of the suffixes $argv (any case), and folders.\n"
      << "function __flashquill_cli_files\n"
      << "    set -l pattern '\\.('(string join '|' $argv)')$'\n"
      << "    for path in (__fish_complete_path (__flashquill_cli_token))\n"
      << "        set -l name (string split -m1 \\t -- $path)[1]\n"
      << "        if string match -q -- '*/' $name; or string match -qir -- $pattern $name\n"
      << "            echo $path\n        end\n    end\nend\n\n"
      << "# The names of a command (after it), by their kind.\n"
      << "function __flashquill_cli_names\n"
      << "    set -l kind (__flashquill_cli_kind); or return\n"
      << "    set kind (string split ' ' -- $kind)\n"
      << "    switch $kind[1]\n"
      << "        case file\n            __fish_complete_path (commandline -ct)\n"
      << "        case dir\n            __fish_complete_directories (commandline -ct)\n"
      << "        case suffix\n            __flashquill_cli_files $kind[2..-1]\n"
      << "        case words\n            printf '%s\\n' $kind[2..-1]\n"
      << "        case command\n            __flashquill_cli_commands\n"
      << "    end\nend\n\n"
      << "function __flashquill_cli_commands\n";
  for (const TCompletedCommand& Command : Model.Commands)
    Out << "    printf '%s\\t%s\\n' " << Quoted(Command.Name) << " " << Quoted(Command.Summary) << "\n";
  Out << "end\n\n"
      << "# True while the command is still to come.\n"
      << "function __flashquill_cli_wants_command\n"
      << "    set -l kind (__flashquill_cli_kind); or return 1\n"
      << "    test \"$kind\" = command\nend\n\n"
      << "complete -c flashquill-cli -f\n"
      << "complete -c flashquill-cli -n __flashquill_cli_wants_command -a '(__flashquill_cli_commands)'\n"
      << "complete -c flashquill-cli -n 'not __flashquill_cli_wants_command' -a '(__flashquill_cli_names)'\n";
  auto Value = [](const TCompletedOption& Option) -> std::string {
    if (!Option.TakesValue) return "";
    switch (Option.Value.Kind) {
      case TCompletionKind::File: return " -r -F";
      case TCompletionKind::Dir: return " -x -a '(__fish_complete_directories (__flashquill_cli_token))'";
      case TCompletionKind::Words: return " -x -a " + Quoted(Joined(Option.Value.Words));
      case TCompletionKind::Suffixes:
        return " -x -a " + Quoted("(__flashquill_cli_files " + Joined(Option.Value.Suffixes) + ")");
      default: return " -x";
    }
  };
  for (const TCompletedOption& Option : Model.Options)
    Out << "complete -c flashquill-cli " << FishOptionName(Option.Name) << Value(Option) << " -d "
        << Quoted(Option.Help) << "\n";
  for (const TCompletedCommand& Command : Model.Commands)
    for (const TCompletedOption& Option : Command.Options)
      Out << "complete -c flashquill-cli -n " << Quoted("__fish_seen_subcommand_from " + Command.Name) << " "
          << FishOptionName(Option.Name) << Value(Option) << " -d " << Quoted(Option.Help) << "\n";
  return Out.str();
}
