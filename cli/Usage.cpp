// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Usage.h"

#include "cli/CliOptions.h"
#include "core/link/LinkOptions.h"

namespace {

std::string Padded(std::string Text, size_t Width) {
  if (Text.size() < Width) Text.append(Width - Text.size(), ' ');
  else Text += "  ";
  return Text;
}

}  // namespace

std::string ProgramUsage(const std::string& Program) {
  std::string Text = "Usage: " + Program +
                     " [--emulate[=DIR] | --usb=VVVV:PPPP] [--page=1|2] [--trace=FILE] COMMAND [ARGS]\n\n"
                     "Every card operation of the Flashquill window, from a shell, on the same core.\n\n"
                     "Commands:\n";
  for (const TCommandInfo& Command : CommandTable()) {
    const std::string Left = std::string(Command.Name) + (Command.Synopsis[0] ? " " : "") + Command.Synopsis;
    Text += "  " + Padded(Left, 39) + Command.Summary + "\n";
  }
  Text += "\nOptions:\n" + LinkOptionsUsage() +
          "  --page=1|2        the page to work on (default 1: \"Page NO. 1 (32M)\")\n"
          "  --yes, -y         answer the questions (overwrite, format, replace) with yes\n"
          "  --help, -h        this text; COMMAND --help: that command's own\n"
          "  --version         the program's version\n"
          "\n" + LinkTestAidsUsage() +
          "  --emulate-flip=OFFSET:MASK\n"
          "                    the first reply of the next read-back (the verify after a\n"
          "                    write, test-rom, test-sram) has the bits MASK of its byte\n"
          "                    OFFSET (below 4096) flipped\n\n"
          "Writes are read back and compared (verified) unless --no-verify is given. Before\n"
          "save RAM is written (write-sram, test-sram) it is backed up into backups/ in the\n"
          "data folder ($XDG_DATA_HOME/flashquill, or ~/.local/share/flashquill).\n"
          "Questions are asked before anything on the card or in a file is replaced; on a\n"
          "terminal they wait for an answer, without one (standard input not a terminal)\n"
          "they are refused unless --yes is given. Progress is drawn on standard error when\n"
          "it is a terminal. Ctrl-C stops a transfer between two packets; a write that ends\n"
          "early says what it left on the card.\n"
          "Exit status: 0 done, 1 failed (link error, refused file, verify mismatch, FAILED or\n"
          "CANCLED test), 2 wrong command line, 130 stopped by Ctrl-C.\n";
  return Text;
}

std::string CommandUsage(const std::string& Program, const TCommandInfo& Command) {
  return "Usage: " + Program + " [options] " + Command.Name + (Command.Synopsis[0] ? " " : "") + Command.Synopsis +
         "\n\n" + Command.Details + "\nThe options before the command are those of " + Program + " --help.\n";
}
