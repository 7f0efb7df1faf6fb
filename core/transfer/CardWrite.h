// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/transfer/ContactCheck.h"
#include "core/transfer/PartialWrite.h"
#include "core/transfer/SaveBackup.h"
#include "core/transfer/TransferOutcome.h"
#include "core/transfer/WriteRepair.h"

class TGameQueue;
class TLink;

// Whether a write first checks the card's contact (CheckContact), and what
// an unstable one does.
enum class TContactMode {
  Off,      // no check
  Refuse,   // an unstable contact (or a check that cannot finish) stops the write
  Ask,      // ... asks whether to write anyway
};

// One write as every front end runs it, safe by default: the save RAM is
// first kept in the vault (a new pack or image leaves the old save behind,
// a save RAM write overwrites it), every write is read back and compared,
// and whatever ends it early is said with what it left on the card.
struct TCardWriteRequest {
  TCardWriteKind Kind = TCardWriteKind::Queue;   // Queue, RawImage or SaveRam
  std::string FileName;                          // RawImage, SaveRam: the file
  const TGameQueue* Queue = nullptr;             // Queue: the games (the rows as they are at the start)
  bool Verify = true;                            // read the written range back and compare
  bool BackupSave = true;                        // keep the save RAM in the vault first
  std::string BackupBefore;                      // the vault's word for the write ("" : from Kind)
  // The selected page's titles for the backup's name (none: the page is
  // listed for it).
  std::optional<std::vector<std::string>> Titles;
  // A backup that could not be made: true to write all the same (the
  // user's choice); without it, nothing is written.
  std::function<bool(const TSaveBackupResult&)> GoOnWithoutBackup;
  TRepairMode Repair = TRepairMode::Off;         // Queue, RawImage: write only what differs
  TContactMode Contact = TContactMode::Off;      // check the contact before anything is written
  // Runs just before the verify pass reads (the command line arms its
  // emulated read fault there); may be empty.
  std::function<void()> BeforeVerify;
};

struct TCardWriteResult {
  bool Succeeded = false;        // written, and verified when asked
  // How the step that ended the run ended: the backup, the write or the
  // verify (Done with Mismatch set: the card differs).
  TTransferEnd End = TTransferEnd::Done;
  // The text panel 1 shows at the end, also after the closing
  // identification: "Write complete.  Time used: ...", the error text, or
  // "Verify failed: ...". The core leaves it in panel 1 too.
  std::string Outcome;
  // What the card holds now, when a write failed after touching it, or the
  // verify found a difference; one sentence a line; empty otherwise.
  std::vector<std::string> Report;
  // The facts behind Report, for a report a script reads (Total 0: none).
  TPartialWrite Partial;
  // The bytes the write was to send and those that went out.
  uint32_t Total = 0;
  uint32_t Reached = 0;
  std::string BackupFile;        // the backup holding the save RAM as it was ("" when none)
  TSaveBackupResult Backup;      // how the backup went (Made false: none was made)
  bool WroteWithoutBackup = false;   // the backup failed and the user chose to go on
  bool Verified = false;         // the read-back ran to its end and agreed
  int64_t Mismatch = -1;         // card address of the first byte that differs; -1: none
  std::string MismatchGame;      // Queue: the title of the game holding it ("" for the boot menu)
  // The write rewrote only what differed: its counts (Repair, BlocksCompared,
  // BlocksToRewrite, BlocksRewritten, HeadersToClear, HeadersCleared).
  TTransferOutcome Write;
  // The contact check before the write; ContactChecked false when none ran.
  bool ContactChecked = false;
  TContactCheck Contact;
};

// Runs the write (WriteImage), then, when asked, the verify pass
// (VerifyAgainstFile) over the range written: the game's file, the pack
// image built again from the same rows, or the named file. With BackupSave
// the save RAM is first kept in the vault (BackupSaveRam); a backup that
// cannot be made stops the run before anything is written, unless
// GoOnWithoutBackup says to go on. With a Contact mode the contact is
// checked before the backup: an unstable contact (or a check cut short)
// stops the run, unless Ask gets a yes. Operating is left cleared at the end; the front end's closing steps follow. Boxes:
// only those the engines show (refusals); the caller shows the result.
TCardWriteResult WriteToCard(const TCardWriteRequest& Request, TLink& Link);

// The result as one text for a box: the outcome, then the report lines.
std::string CardWriteMessage(const TCardWriteResult& Result);
