// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BackupsCommand.h"

#include <algorithm>
#include <cstdio>

#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/vault/SaveVault.h"
#include "core/vault/VaultName.h"

namespace {

std::string TitlesText(const TVaultEntry& Entry) {
  if (!Entry.TitlesKnown) return "(not recorded)";
  if (Entry.Titles.empty()) return "(no games)";
  std::string Text;
  for (size_t I = 0; I < Entry.Titles.size(); ++I)
    Text += (I ? ", " : "") + (Entry.Titles[I].empty() ? std::string("(untitled)") : DisplayTitle(Entry.Titles[I]));
  return Text;
}

}  // namespace

int TBackupsCommand::Run(TCliSession& Session, const TCommandArgs&) {
  const TSaveVault Vault;
  std::vector<TVaultEntry> Entries = Vault.Entries();
  std::reverse(Entries.begin(), Entries.end());
  Session.FrontEnd.Finish();
  TJson List = TJson::array();
  if (!Entries.empty())
    std::printf("%3s  %-19s  %6s  %-40s  %4s  %-10s  %s\n", "#", "Time", "Size", "SHA-1", "Page", "Before", "Titles");
  for (size_t I = 0; I < Entries.size(); ++I) {
    const TVaultEntry& E = Entries[I];
    List.push_back(VaultEntryFacts(Vault, E, I + 1));
    std::printf("%3zu  %-19s  %6llu  %-40s  %4s  %-10s  %s\n", I + 1, VaultTimeText(E.Time).c_str(),
                static_cast<unsigned long long>(E.Size), E.Sha1.c_str(), E.Page ? std::to_string(E.Page).c_str() : "?",
                E.Before.empty() ? "?" : E.Before.c_str(), TitlesText(E).c_str());
  }
  std::printf("%zu backup(s) in %s (the oldest dropped beyond %zu)\n", Entries.size(), Vault.Folder().c_str(),
              Vault.Limit());
  std::fflush(stdout);
  Session.Json["folder"] = JsonPath(Vault.Folder());
  Session.Json["index"] = JsonPath(Vault.IndexFile());
  Session.Json["limit"] = Vault.Limit();
  Session.Json["backups"] = List;
  return ExitOk;
}
