// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/SaveBackup.h"

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/card/CardScan.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/ReadToMemory.h"
#include "core/transfer/WriteEngine.h"

bool BackupSaveRam(TLink& Link, const TSaveBackupRequest& Request, TSaveBackupResult& Result) {
  Result = TSaveBackupResult{};
  TSharedState& State = Link.State();
  std::vector<std::string> Titles;
  if (Request.Titles) {
    Titles = *Request.Titles;
  } else {
    // A listing that fails leaves the name without titles; the backup
    // itself does not depend on it.
    TCardRowVector Rows;
    TScanTotals Totals;
    ScanCardPage(Link, Rows, &Totals);
    for (const TCardRow& Row : Rows.Rows) Titles.push_back(Row.Title);
  }
  // Save RAM has no pages: the read goes to bare offsets.
  const uint32_t PageBase = State.PageBase;
  State.PageBase = 0;
  std::vector<uint8_t> Bytes;
  const bool Read = ReadToMemory(0, SaveRamSize, cmdReadSram, Link, Bytes, &Result.Read, SaveBackupDoneText);
  State.PageBase = PageBase;
  if (!Read) {
    State.Operating = false;
    Result.Error = Result.Read.Reason.empty() ? std::string("the save RAM could not be read") : Result.Read.Reason;
    return false;
  }
  TSaveVault Own;
  TSaveVault& Vault = Request.Vault ? *Request.Vault : Own;
  TVaultStore Store;
  std::string Why;
  if (!Vault.Store(Bytes, Titles, static_cast<int>(PageBase / PageSize) + 1, Request.Before, Store, Why, 0,
                   Request.Keep)) {
    State.Operating = false;
    Result.Read.End = TTransferEnd::FileFailed;
    Result.Read.Reason = ReadFileCreateError;
    Result.Read.Detail = Why;
    Result.Error = Why;
    return false;
  }
  Result.Made = true;
  Result.Added = Store.Added;
  Result.File = Store.Path;
  Result.Entry = Store.Entry;
  Result.Dropped = Store.Dropped;
  return true;
}

std::string SaveBackupFailureText(const TSaveBackupResult& Result) {
  if (Result.Read.End == TTransferEnd::Stopped) return "Stopped during the save backup: nothing was written.";
  return "Save backup failed (" + Result.Error + "): nothing was written.";
}
