// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "cli/CliOptions.h"

class TCliSession;

// "check FILE... | --card  [--dat DAT] [--json]": dumps against a DAT file
// (or their hashes, without one), for files and for the games on the card.
class TCheckCommand {
public:
  static const TCommandInfo& Info();
  static int Run(TCliSession& Session, const TCommandArgs& Args);
};
