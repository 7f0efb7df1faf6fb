// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "cli/CliOptions.h"

class TCliSession;

// "backups [--json]": the save RAM backups in the vault, newest first.
class TBackupsCommand {
public:
  static const TCommandInfo& Info();
  static int Run(TCliSession& Session, const TCommandArgs& Args);
};
