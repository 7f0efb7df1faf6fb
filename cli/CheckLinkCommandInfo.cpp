// SPDX-License-Identifier: GPL-3.0-or-later
// The contact check command's name and help, apart from its work, so that
// the completion generator can read the command table without the card work.
#include "cli/CheckLinkCommand.h"

const TCommandInfo& TCheckLinkCommand::Info() {
  static const TCommandInfo Command = {
      "check-link", "[--json]", "the card's contact: the same parts read twice must agree",
      "Reads the chip identifier, the selected page's first 32 KiB, the last 32 KiB\n"
      "of the page and the first 4 KiB of save RAM, then all of it again, and\n"
      "compares. Different answers mean an unstable contact: clean the card's\n"
      "contacts and try again. Nothing is written. The same check runs before\n"
      "every write (write, write-raw, write-sram) unless --no-check is given there.\n"
      "The exit status is 0 only for a contact that gave the same answers twice.\n"
      "  --json   one JSON object with the outcome (see the manual page)\n",
      {"--json"}, {}, 0, 0, true};
  return Command;
}
