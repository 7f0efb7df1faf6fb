// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "cli/CliOptions.h"

class TCliSession;

// "restore BACKUP [--no-verify] [--no-backup]": a backup of the vault
// written back into the save RAM, after a backup of what is there now.
class TRestoreCommand {
public:
  static const TCommandInfo& Info();
  static int Run(TCliSession& Session, const TCommandArgs& Args);
};
