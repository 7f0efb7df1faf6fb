// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>
#include <string>

#include "cli/CliFrontEnd.h"
#include "cli/CliOptions.h"
#include "cli/JsonOutcome.h"
#include "core/SharedState.h"
#include "core/card/CardScan.h"
#include "core/link/Link.h"
#include "core/transfer/TransferOutcome.h"

// One run of the program on the cable: the shared state, the front end, the
// transport the options ask for and the link over it.
class TCliSession {
public:
  TCliSession(const TCliOptions& Options, const std::string& Program);

  const TCliOptions& Options() const { return FOptions; }
  TSharedState State;
  TCliFrontEnd FrontEnd;
  // --json: the command's outcome as one object (not started without it;
  // facts added then are simply not printed).
  TJsonOutcome Json;

  // Sets up the transport; false (the reason printed) when it cannot be.
  bool OpenPort();
  // Opens the link and identifies the chip, as the window does when it
  // starts. With NeedChip, anything but the known chip is an error here
  // ("Device Disconnected ..."), printed; without, only a missing link is.
  bool Connect(bool NeedChip = true);
  TLink& Link() { return *FLink; }
  TLinkPort& Port() { return *FPort; }
  const TLink::TIdentity& Identity() const { return FIdentity; }

  // The chip identification between and after operations.
  void IdentifyChip();
  // "Page NO. 1 (32M)" or "Page NO. 2 (32M)", as the page list names them.
  std::string PageName() const;
  // PageBase from the chosen page, then the listing of that page; returns
  // the summary, with the rows in Rows.
  std::string ListPage(TCardRowVector& Rows, TScanTotals& Totals);
  // ListPage for a command that needs every row: false, with the error said
  // (and Consequence after it, e.g. "; nothing was written"), when the
  // listing stopped at a failed exchange.
  bool ListWholePage(TCardRowVector& Rows, const std::string& Consequence = "");
  // The closing steps every operation shares: Operating cleared, the chip
  // identified again.
  void CloseOperation();

  // After a read into File that did not end: the file and the system's
  // reason of a file failure, and that File was left as it was.
  void NoteUnread(const std::string& File, const TTransferOutcome& Read);

  // Arms --emulate-flip for the read-back that is about to start.
  void ArmReadFault();

  // The exit status of a finished operation: interrupted, failed or done.
  // Work that a Ctrl-C could not stop (Stoppable false) exits by its
  // outcome alone.
  int Outcome(bool Succeeded, bool Stoppable = true);

private:
  TCliOptions FOptions;
  std::unique_ptr<TLinkPort> FPort;
  std::unique_ptr<TLink> FLink;
  TLink::TIdentity FIdentity;
  bool FTraceErrorSaid = false;
  std::string FNotice;   // from the transport's setup, said at the first Connect
};
