// SPDX-License-Identifier: GPL-3.0-or-later
// The backups command's name, options and help, apart from its work, so that
// the completion generator can read the command table without the card work.
#include "cli/BackupsCommand.h"

#include <cstdint>

const TCommandInfo& TBackupsCommand::Info() {
  static const TCommandInfo Command = {
      "backups", "[--json]", "the save RAM backups in the vault, newest first",
      "Lists the save RAM backups of the vault, newest first: number, time,\n"
      "size, SHA-1, the page selected then, the operation it was taken before\n"
      "and the titles of that page's games. Before every write, raw write,\n"
      "format, save RAM write, restore and factory test the save RAM is read\n"
      "into the vault (the folder backups in the data folder, its index in\n"
      "backups.index beside it); a save equal to the latest backup is not stored\n"
      "again, and beyond 64 backups the oldest is dropped. 'restore NUMBER'\n"
      "writes one back.\n"
      "  --json   one JSON object instead: {\"command\":\"backups\",\"folder\":...,\n"
      "           \"limit\":64,\"backups\":[{\"number\":1,\"file\":...,\"time\":...,\n"
      "           \"size\":131072,\"sha1\":...,\"page\":1,\"before\":\"write\",\n"
      "           \"titles\":[...]},...],\"ok\":true,...}\n",
      {"--json"}, {}, 0, 0, false, "none"};
  return Command;
}
