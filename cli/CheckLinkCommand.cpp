// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CheckLinkCommand.h"

#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "core/transfer/ContactCheck.h"

int TCheckLinkCommand::Run(TCliSession& Session, const TCommandArgs&) {
  if (!Session.Connect()) return Session.Outcome(false);
  Session.State.PageBase = static_cast<uint32_t>(Session.Options().Page - 1) << 22;
  const TContactCheck Check = CheckContact(Session.Link());
  Session.CloseOperation();
  Session.FrontEnd.Finish();
  Session.Json["page"] = Session.Options().Page;
  Session.Json["contact"] = ContactFacts(Check);
  // The verdict is said as the status text: a pass as a note, an unstable
  // contact or a failed read as the error.
  return Session.Outcome(Check.End == TTransferEnd::Done && Check.Stable);
}
