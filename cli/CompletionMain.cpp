// SPDX-License-Identifier: GPL-3.0-or-later
// Writes one shell's completion of flashquill-cli, made from its command
// table; the build runs it for bash, zsh and fish.
#include <cstdio>
#include <string>

#include "cli/Completion.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s bash|zsh|fish OUTPUT\n", argc > 0 ? argv[0] : "fq_completion");
    return 2;
  }
  const std::string Shell = argv[1];
  TCompletionModel Model;
  std::string Error;
  if (!MakeCompletionModel(CommandTable(), Model, Error)) {
    std::fprintf(stderr, "the command table: %s\n", Error.c_str());
    return 1;
  }
  std::string Script;
  if (Shell == "bash") Script = BashCompletion(Model);
  else if (Shell == "zsh") Script = ZshCompletion(Model);
  else if (Shell == "fish") Script = FishCompletion(Model);
  else {
    std::fprintf(stderr, "no completion for the shell '%s' (bash, zsh or fish)\n", Shell.c_str());
    return 2;
  }
  FILE* Out = std::fopen(argv[2], "wb");
  if (!Out || std::fwrite(Script.data(), 1, Script.size(), Out) != Script.size() || std::fclose(Out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
