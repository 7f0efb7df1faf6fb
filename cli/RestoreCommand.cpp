// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RestoreCommand.h"

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/transfer/CardWrite.h"
#include "core/vault/SaveVault.h"
#include "core/vault/VaultName.h"

int TRestoreCommand::Run(TCliSession& Session, const TCommandArgs& Args) {
  const TSaveVault Vault;
  std::string Error;
  const std::optional<TVaultEntry> Entry = Vault.Find(Args.Positionals[0], Error);
  // A damaged backup would put a damaged save on the card: refused before
  // the cable is used.
  if (!Entry || !Vault.Intact(*Entry, Error)) {
    Session.FrontEnd.Error(Error + "; nothing was written");
    return Session.Outcome(false);
  }
  const std::string File = Vault.PathOf(*Entry);
  Session.Json["restore"] = VaultEntryFacts(Vault, *Entry, 0);
  Session.Json["restore"].erase("number");
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  std::string Titles;
  for (const std::string& Title : Entry->Titles) Titles += (Titles.empty() ? "" : ", ") + DisplayTitle(Title);
  const std::string Question = "Are you sure to overwrite the save RAM with the backup of " +
                               VaultTimeText(Entry->Time) + (Titles.empty() ? "" : " (" + Titles + ")") + ", " + File +
                               "?" + (Args.Has("--no-backup") ? "" : " (a backup is made first)");
  if (Session.FrontEnd.ShowMessageBox(Question, "Restore", MB_FLAGS_QUESTION) != MB_RESULT_YES) {
    Session.FrontEnd.Note("Nothing was written.");
    return Session.Outcome(false);
  }
  TCardWriteRequest Request;
  Request.Kind = TCardWriteKind::SaveRam;
  Request.FileName = File;
  Request.Verify = !Args.Has("--no-verify");
  Request.BackupSave = !Args.Has("--no-backup");
  Request.BackupBefore = "restore";
  Request.BeforeVerify = [&Session] { Session.ArmReadFault(); };
  const TCardWriteResult Result = WriteToCard(Request, Session.Link());
  SayWriteResult(Session, Result);
  AddWriteFacts(Session.Json.Facts(), Result);
  Session.CloseOperation();
  return Session.Outcome(Result.Succeeded);
}
