// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

#include "core/support/Version.h"

namespace {

// The windowing toolkit's own options, which it takes out of the command
// line itself; those in the second list take the next argument as value.
constexpr std::array<std::string_view, 5> ToolkitFlags = {"reverse", "nograb", "dograb", "sync", "widgetcount"};
constexpr std::array<std::string_view, 14> ToolkitValued = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "style", "stylesheet", "display", "geometry", "name", "qmljsdebugger"};

// "-platform", "--platform" and "-platform=x" all name the toolkit option
// "platform". Returns the bare name, or an empty view for no toolkit option.
std::string_view ToolkitOption(std::string_view Arg, bool& TakesValue) {
  TakesValue = false;
  if (Arg.size() < 2 || Arg[0] != '-') return {};
  Arg.remove_prefix(Arg[1] == '-' ? 2 : 1);
  const size_t Equals = Arg.find('=');
  const std::string_view Name = Arg.substr(0, Equals);
  if (std::find(ToolkitValued.begin(), ToolkitValued.end(), Name) != ToolkitValued.end()) {
    TakesValue = Equals == std::string_view::npos;
    return Name;
  }
  if (Equals == std::string_view::npos &&
      std::find(ToolkitFlags.begin(), ToolkitFlags.end(), Name) != ToolkitFlags.end())
    return Name;
  return {};
}

bool IsOwnOption(std::string_view Arg) {
  for (std::string_view Own :
       {"--emulate", "--emulate-unplug-after", "--emulate-weak-cell", "--emulate-flip", "--emulate-timing",
        "--writes-in-flight", "--usb", "--trace", "--help"})
    if (Arg == Own || (Arg.size() > Own.size() && Arg.substr(0, Own.size()) == Own && Arg[Own.size()] == '='))
      return true;
  return false;
}

}  // namespace

TCommandLine ParseCommandLine(int Argc, const char* const* Argv) {
  TCommandLine Line;
  for (int I = 1; I < Argc; ++I) {
    const std::string Arg = Argv[I] ? Argv[I] : "";
    if (Arg == "--help") {
      Line.Help = true;
      continue;
    }
    if (Arg == "--demo") {
      Line.Demo = true;
      continue;
    }
    if (Arg == "--version") {
      Line.Version = true;
      continue;
    }
    if (IsOwnOption(Arg)) {
      std::string Error;
      if (!ParseLinkOption(Arg, Line.Link, Error) || !Error.empty()) {
        Line.Error = Error.empty() ? "bad option '" + Arg + "'" : Error;
        return Line;
      }
      continue;
    }
    bool TakesValue = false;
    if (!ToolkitOption(Arg, TakesValue).empty()) {
      if (TakesValue) ++I;   // its value is the toolkit's too
      continue;
    }
    if (Arg.size() > 1 && Arg[0] == '-' && Arg.rfind("--", 0) == 0) {
      Line.Error = "unknown option '" + Arg + "'";
      return Line;
    }
    if (Arg.size() > 1 && Arg[0] == '-') Line.Ignored.push_back(Arg);
    Line.Arguments.push_back(Arg);
  }
  // The demo pack goes only to the emulated card, never over a real one.
  if (Line.Demo && !Line.Link.Emulate) Line.Error = "--demo works only with --emulate";
  // The fault rehearsals only on the emulated cable, never the real one.
  if (const std::string LinkError = CheckLinkOptions(Line.Link); Line.Error.empty() && !LinkError.empty())
    Line.Error = LinkError;
  return Line;
}

std::string CommandLineUsage(const std::string& Program) {
  return "Usage: " + Program + " [/rom | /sram] [options]\n"
         "  /rom, /sram       as the first argument: the factory test of the card's flash or save RAM\n" +
         LinkOptionsUsage() +
         "  --demo            with --emulate: an empty card (no game on page 1) gets a pack of demo games\n"
         "  --help            this text\n"
         "  --version         the program's version and licence\n" +
         LinkTestAidsUsage();
}

int AnswerCommandLine(const TCommandLine& Line, const std::string& Program) {
  if (!Line.Error.empty()) {
    std::fprintf(stderr, "flashquill: %s\n%s", Line.Error.c_str(), CommandLineUsage(Program).c_str());
    return 2;
  }
  for (const std::string& Ignored : Line.Ignored)
    std::fprintf(stderr, "flashquill: ignoring the unknown argument '%s'\n", Ignored.c_str());
  if (Line.Help) {
    std::fputs(CommandLineUsage(Program).c_str(), stdout);
    return 0;
  }
  if (Line.Version) {
    std::fputs(VersionText("flashquill").c_str(), stdout);
    return 0;
  }
  return -1;
}
