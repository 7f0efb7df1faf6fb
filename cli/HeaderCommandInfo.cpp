// SPDX-License-Identifier: GPL-3.0-or-later
// The header command's name, options and help, apart from its work, so that
// the completion generator can read the command table without the card work.
#include "cli/HeaderCommand.h"

#include <cstdint>

const TCommandInfo& THeaderCommand::Info() {
  static const TCommandInfo Command = {
      "header", "FILE | INDEX  [--json]", "every field of a game's header, for a file or a card game",
      "Shows the whole cartridge header of a game file, or of game INDEX of the\n"
      "selected page (as 'list' numbers them; a file whose name is all digits is\n"
      "given as ./NAME): title, manufacturer code, entry point, logo, colour and\n"
      "Super Game Boy flags, licensee, cartridge type, ROM and RAM size,\n"
      "destination, version, and both checksums as stated and as computed. A\n"
      "bad header says what is wrong, in the words of the header check. The exit\n"
      "status is 0 only for a header that passes the check.\n"
      "  --json   one JSON object instead, with the codes as numbers\n",
      {"--json"}, {}, 1, 1, false};
  return Command;
}
