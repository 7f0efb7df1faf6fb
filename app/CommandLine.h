// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

#include "core/link/LinkOptions.h"

// The program's command line, read before the window exists. The program's
// own options start with "--"; the windowing toolkit's options (such as
// "-platform offscreen") are left for it. Every other argument is kept, in
// order, for the window: the first of them may choose a factory test mode.
struct TCommandLine {
  TLinkOptions Link;
  bool Help = false;
  bool Demo = false;                    // --demo: an empty emulated card gets the demo pack
  bool Version = false;                 // --version: the version and licence, then the program ends
  std::string Error;                    // non-empty: a bad option, said for the user
  std::vector<std::string> Arguments;   // the arguments that are no options
  // Arguments that look like options but are none of the program's or the
  // toolkit's: said on standard error, kept among Arguments (so as a first
  // argument they leave the test modes off), and the program runs.
  std::vector<std::string> Ignored;
};

TCommandLine ParseCommandLine(int Argc, const char* const* Argv);
std::string CommandLineUsage(const std::string& Program);

// Says what the command line itself asks for, before any window exists: a
// bad option with the usage on standard error, each ignored argument, or the
// usage on standard output for --help. Returns the exit code when the program
// ends here, or -1 when it goes on to its window. Every front end starts so.
int AnswerCommandLine(const TCommandLine& Line, const std::string& Program);
