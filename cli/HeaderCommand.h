// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "cli/CliOptions.h"

class TCliSession;

// "header FILE|INDEX [--json]": every field of a game's header, for a file
// or for a game of the card listing.
class THeaderCommand {
public:
  static const TCommandInfo& Info();
  static int Run(TCliSession& Session, const TCommandArgs& Args);
};
