// SPDX-License-Identifier: GPL-3.0-or-later
// The check command's name, options and help, apart from its work, so that
// the completion generator can read the command table without the card work.
#include "cli/CheckCommand.h"

#include <cstdint>

const TCommandInfo& TCheckCommand::Info() {
  static const TCommandInfo Command = {
      "check", "FILE... | --card  [--dat DAT] [--json]", "dumps against a DAT file of known-good dumps",
      "Checks game files, or with --card every game of the selected page, against\n"
      "a DAT file (the XML lists of known-good dumps that preservation groups\n"
      "publish). Each dump gets one line: \"verified: NAME\" (size, CRC32 and SHA-1\n"
      "match an entry), \"differs from NAME: bad dump?\" (an entry of the same\n"
      "title and size has other hashes) or \"not in the DAT\". Without --dat each\n"
      "line gives the CRC32 and SHA-1 instead. The exit status is 0 when every\n"
      "dump was read (and, with --dat, verified).\n"
      "  --card     the games on the selected page (read from the card)\n"
      "  --dat DAT  the DAT file\n"
      "  --json     one JSON object instead, its \"dumps\" an object per dump\n",
      {"--card", "--json"}, {"--dat"}, 0, SIZE_MAX, false};
  return Command;
}
