// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "cli/CliOptions.h"

class TCliSession;

// "check-link": reads the same parts of the card twice and compares, to
// tell a sound contact from one that gives two answers to one question.
class TCheckLinkCommand {
public:
  static const TCommandInfo& Info();
  static int Run(TCliSession& Session, const TCommandArgs& Args);
};
