// SPDX-License-Identifier: GPL-3.0-or-later
// The commands, what each accepts and its help text.
#include <cstdint>

#include "cli/BackupsCommand.h"
#include "cli/CheckCommand.h"
#include "cli/CheckLinkCommand.h"
#include "cli/CliOptions.h"
#include "cli/HeaderCommand.h"
#include "cli/RestoreCommand.h"

const std::vector<TCommandInfo>& CommandTable() {
  static const std::vector<TCommandInfo> Commands = {
      {"info", "", "connection, chip identifier and name, capacity",
       "Opens the cable, asks for the flash chip's identifier and shows the\n"
       "connection, the identifier and chip name, and the capacity of a page.\n"
       "  --json   one JSON object instead (see the manual page)\n",
       {"--json"}, {}, 0, 0, true},
      {"list", "[--json] [--dat DAT]", "games on the selected page, then the summary line",
       "Lists the games on the selected page: index, title, size, start offset\n"
       "within the page and size in bytes, then the summary line.\n"
       "  --json   one JSON object instead: {\"command\":\"list\",\"page\":1,\"games\":\n"
       "           [{\"index\":1,\"title\":\"...\",\"offset\":32768,\"size\":65536},...],\n"
       "           \"count\":N,\"used\":BYTES,\"free\":BYTES,...,\"ok\":true,...}\n"
       "  --dat DAT  reads every game and adds what the DAT file says of it\n"
       "           (\"verified: NAME\", \"differs from NAME: bad dump?\", \"not in the DAT\";\n"
       "           in JSON \"dat\" and \"dat_name\")\n",
       {"--json"}, {"--dat"}, 0, 0, true},
      {"read", "INDEX... | --all  [-o PATH]", "selected games into files",
       "Reads games of the selected page (INDEX as 'list' numbers them) into files.\n"
       "One game: PATH is the file (default: the title + \".gb\" in the current\n"
       "folder; an existing PATH is replaced only after confirmation).\n"
       "Several games, or a PATH that ends in \"/\" or names a folder: PATH is a folder\n"
       "(default: the current folder, created when missing), each game in title +\n"
       "\".GB\" (\".gb\" for one game); characters a file name cannot hold become \"_\",\n"
       "an empty title gives \"Untitled\". Files there are replaced only after\n"
       "confirmation.\n"
       "  --all    every game of the page\n"
       "  -o PATH  the file or folder\n"
       "  --dat DAT  checks each backup against the DAT file and says \"verified: NAME\",\n"
       "           \"differs from NAME: bad dump?\" or \"not in the DAT\"; a verified backup\n"
       "           takes its entry's name (unless -o names the file). Without it each\n"
       "           backup's CRC32 and SHA-1 are printed.\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--all", "--json"}, {"-o", "--dat"}, 0, SIZE_MAX, true, "index"},
      {"write", "FILE... [--no-verify] [--no-backup] [--force] [--fix-header] [--resume] [--no-check] [--json]", "games to the selected page (a pack when two or more)",
       "Writes games to the selected page, as the window's Write does: the files\n"
       "are queued in ascending order of size and tested against the space of the\n"
       "page (a refused file writes nothing at all); two or more games go behind\n"
       "the boot menu in one pack image. The page is formatted, the image written,\n"
       "the page listed again and selected for the console. When the page holds\n"
       "games, the overwrite question must be confirmed (--yes, or on a terminal).\n"
       "The written range is then read back and compared byte for byte; a difference\n"
       "names the first card address and its game. Each file's header is checked\n"
       "first (logo, header checksum, ROM-size code, length against the header's size\n"
       "and a whole number of 32 KiB blocks); a file that fails is refused with the\n"
       "reasons. A write that ends early says which games it left complete, cut\n"
       "short or missing. The save RAM is first kept in the vault (see 'backups'):\n"
       "the games it belongs to are overwritten; when that fails, nothing is written.\n"
       "  --no-verify  do not read the written range back\n"
       "  --verify     (the default) read it back and compare\n"
       "  --force      queue files that fail the header checks anyway\n"
       "  --fix-header write the games with their header and global checksums\n"
       "               corrected (the files stay as they are); a wrong logo is never\n"
       "               mended: such a game will not start on a real console\n"
       "  --no-backup  write without keeping the save RAM first\n"
       "  --resume     write only what differs: the card is compared with the image\n"
       "               block by block (128 KiB erase blocks) and only the blocks that\n"
       "               differ are written, each whole; old headers past the image are\n"
       "               cleared where they are not already. For a write cut short, or\n"
       "               the same games written again (that rewrites nothing)\n"
       "  --no-check   do not check the card's contact first (see check-link); without\n"
       "               it an unstable contact stops the write before anything is written\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--verify", "--no-verify", "--no-backup", "--force", "--fix-header", "--resume", "--no-check", "--json"}, {},
       1, SIZE_MAX, true, "gb|gbc"},
      {"read-sram", "FILE", "save RAM (131072 bytes) into FILE",
       "Reads the 131072 bytes of save RAM into FILE; an existing FILE is replaced\n"
       "only after confirmation.\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--json"}, {}, 1, 1, true, "sav"},
      {"write-sram", "FILE [--no-verify] [--no-backup] [--no-check] [--json]", "FILE into save RAM",
       "Writes FILE (at most 131072 bytes) into save RAM from address 0, after the\n"
       "question (--yes, or on a terminal). The save RAM as it was is first kept in\n"
       "the vault (backups/sram-YYYYMMDD-HHMMSS_TITLES.sav in the data folder, see\n"
       "'backups'); when that fails, nothing is written. The written range is then\n"
       "read back and compared.\n"
       "  --no-verify  do not read the written range back\n"
       "  --verify     (the default) read it back and compare\n"
       "  --no-backup  write without keeping the save RAM first\n"
       "  --no-check   do not check the card's contact first (see check-link)\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--verify", "--no-verify", "--no-backup", "--no-check", "--json"}, {}, 1, 1, true, "sav"},
      {"format", "[--no-backup] [--json]", "the selected page",
       "Clears the header area of every 32 KiB block of the selected page, so\n"
       "that it lists no games. Asks first (--yes, or on a terminal). The save RAM\n"
       "is first kept in the vault (see 'backups'); when that fails, nothing is\n"
       "formatted.\n"
       "  --no-backup  format without keeping the save RAM first\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--no-backup", "--json"}, {}, 0, 0, true},
      {"read-raw", "SIZE FILE", "the first SIZE bytes of the selected page into FILE",
       "Reads SIZE bytes of flash from the start of the selected page into FILE.\n"
       "SIZE is one of 32K 64K 128K 256K 512K 1024K(1M) 2048K(2M) 4096K(4M)\n"
       "8192K(8M) (K and M: KiB and MiB; \"1M\" alone also does), or a byte count\n"
       "(decimal or 0x hexadecimal) up to 8388608. An existing FILE is replaced only\n"
       "after confirmation.\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--json"}, {}, 2, 2, true, "size file"},
      {"write-raw", "FILE [--no-verify] [--no-backup] [--resume] [--no-check] [--json]", "FILE to the flash from address 0",
       "Writes FILE (at most 8388608 bytes) to the flash from card address 0,\n"
       "whatever page is selected, after formatting the page or pages it covers.\n"
       "Asks first (--yes, or on a terminal). The save RAM is first kept in the\n"
       "vault (see 'backups'); when that fails, nothing is written. The written\n"
       "range is then read back and compared.\n"
       "  --no-verify  do not read the written range back\n"
       "  --verify     (the default) read it back and compare\n"
       "  --no-backup  write without keeping the save RAM first\n"
       "  --resume     write only the 128 KiB blocks that differ (see write --resume)\n"
       "  --no-check   do not check the card's contact first (see check-link)\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--verify", "--no-verify", "--no-backup", "--resume", "--no-check", "--json"}, {}, 1, 1, true},
      {"pack", "FILE... -o IMAGE [--force] [--fix-header]", "build the pack image offline; no cable needed",
       "Builds the image that 'write' would send for these games, into IMAGE:\n"
       "the boot menu, then each game at its place; one game alone is its own\n"
       "image. The same queue rules and header checks refuse what would not fit\n"
       "or fails them.\n"
       "  --force  queue files that fail the header checks anyway\n"
       "  --fix-header  the image holds the games with their checksums corrected\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--force", "--fix-header", "--json"}, {"-o"}, 1, SIZE_MAX, false, "gb|gbc -o=gb"},
      {"test-rom", "FILE [--write-only] [--no-backup] [--json]", "the factory flash test; prints OK, FAILED or CANCLED",
       "Writes FILE to the flash from address 0 (after wiping page 1), reads as\n"
       "many bytes back into GBTestROM.gb in the data folder ($XDG_DATA_HOME/\n"
       "flashquill, or ~/.local/share/flashquill) and compares. Prints OK, FAILED\n"
       "or CANCLED, and the reason of FAILED or CANCLED. Always on page 1. Asks first\n"
       "(--yes, or on a terminal). The save RAM is first kept in the vault (see\n"
       "'backups').\n"
       "  --write-only  only write; OK when the write ran to its end\n"
       "  --no-backup  test without keeping the save RAM first\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--write-only", "--no-backup", "--json"}, {}, 1, 1, true, "gb|gbc"},
      {"test-sram", "FILE [--no-backup] [--json]", "the factory save RAM test; prints OK, FAILED or CANCLED",
       "Writes FILE into save RAM from address 0, reads as many bytes back into\n"
       "GBTestSRAM.sav in the data folder and compares. Prints OK, FAILED or\n"
       "CANCLED. Asks first (--yes, or on a terminal); the save RAM as it was is\n"
       "first kept in the vault (see 'backups').\n"
       "  --no-backup  test without keeping the save RAM first\n"
       "  --json   one JSON object with the outcome (see the manual page)\n",
       {"--no-backup", "--json"}, {}, 1, 1, true, "sav"},
      {"ports", "[--set HEX16]", "the cable's eight port bytes",
       "Reads the eight port bytes P0IO P1IO P2IO P3IO P0 P1 P2 P3 and prints\n"
       "them as 16 hexadecimal digits, then one by one.\n"
       "  --set HEX16  first set them: exactly 16 hexadecimal digits, in that order\n"
       "  --json   one JSON object instead (see the manual page)\n",
       {"--json"}, {"--set"}, 0, 0, true, "--set=none"},
      THeaderCommand::Info(),
      TCheckCommand::Info(),
      TBackupsCommand::Info(),
      TRestoreCommand::Info(),
      TCheckLinkCommand::Info(),
  };
  return Commands;
}

const TCommandInfo* FindCommand(const std::string& Name) {
  for (const TCommandInfo& Command : CommandTable())
    if (Name == Command.Name) return &Command;
  return nullptr;
}
