// SPDX-License-Identifier: GPL-3.0-or-later
// The restore command's name, options and help, apart from its work, so that
// the completion generator can read the command table without the card work.
#include "cli/RestoreCommand.h"

#include <cstdint>

const TCommandInfo& TRestoreCommand::Info() {
  static const TCommandInfo Command = {
      "restore", "BACKUP [--no-verify] [--no-backup] [--json]", "a backup of the vault back into save RAM",
      "Writes a backup of the vault back into save RAM from address 0, after the\n"
      "question (--yes, or on a terminal). BACKUP is its number as 'backups'\n"
      "lists them (1 is the latest) or its file name. A backup whose file no\n"
      "longer holds what the vault recorded (its SHA-1) is refused. The save RAM\n"
      "as it is now is first kept in the vault itself, and the written range is\n"
      "read back and compared.\n"
      "  --no-verify  do not read the written range back\n"
      "  --verify     (the default) read it back and compare\n"
      "  --no-backup  write without keeping the save RAM first\n"
      "  --json   one JSON object with the outcome (see the manual page)\n",
      {"--verify", "--no-verify", "--no-backup", "--json"}, {}, 1, 1, true, "none"};
  return Command;
}
