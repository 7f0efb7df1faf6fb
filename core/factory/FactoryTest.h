// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/transfer/SaveBackup.h"
#include "core/transfer/TransferOutcome.h"

class TLink;

// The two production-line tests: write a test file to the cartridge, read the
// same number of bytes back into a fixed file, compare the two.
enum class TFactoryMode { Rom, Sram };

enum class TFactoryVerdict { Ok, Failed, Cancelled };

// Texts of the verdict label, as they stand on the tester's screen.
constexpr const char* FactoryWritingText = "Writting...";
constexpr const char* FactoryReadingText = "Reading...";
constexpr const char* FactoryCheckingText = "Checking...";
constexpr const char* FactoryFormattingText = "Formatting...";
const char* FactoryVerdictText(TFactoryVerdict Verdict);   // "OK", "FAILED", "CANCLED"

// Where a full test reads the cartridge back to: "C:\GBTestROM.gb" and
// "C:\GBTestSRAM.sav" on Windows; elsewhere those names in the program's
// data folder ($XDG_DATA_HOME/flashquill, or ~/.local/share/flashquill),
// which is created when missing. The file stays after the run.
std::string FactoryReadBackFile(TFactoryMode Mode);

struct TFactoryRun {
  TFactoryMode Mode = TFactoryMode::Rom;
  bool WriteOnly = false;          // the tester's "Write" button: no read-back, no comparison
  std::string TestFile;
  std::string ReadBackFile;        // empty: FactoryReadBackFile(Mode)
  // Each state text as the run reaches it ("Writting...", "Reading...",
  // "Checking..."); the verdict itself is the result.
  std::function<void(const char* Stage)> OnStage;
  // The front end's chip identification between the write and the read-back
  // (the window also updates its controls there); without one, the link's.
  std::function<void()> IdentifyChip;
  // The save as it was is kept in the vault first (BackupSaveRam): the save
  // RAM test overwrites it, the flash test leaves it to games no longer on
  // the card. A backup that cannot be made ends the test before anything is
  // written, unless GoOnWithoutBackup says to go on. Off unless the front
  // end asks for it, since the front end names the file to the tester.
  bool BackupSave = false;
  std::optional<std::vector<std::string>> Titles;   // the page's titles for the backup's name
  std::function<bool(const TSaveBackupResult&)> GoOnWithoutBackup;
};

// What a run says besides its verdict.
struct TFactoryResult {
  // Why the verdict is FAILED or CANCLED (a step's status text, or where
  // the read-back differs); empty for OK. The front end keeps it on screen
  // after its closing steps.
  std::string Reason;
  std::string BackupFile;   // the backup holding the save RAM as it was ("" when none)
  TSaveBackupResult Backup; // how the backup went
};

// The verdict rule for one step of a test, shared by every front end:
// "CANCLED" only for a stop and for a link failure; anything else that keeps
// a step from its end (a test file that cannot be opened, read or is too
// large, a read-back that cannot be stored) is "FAILED"; a step that ran to
// its end is "OK" so far.
TFactoryVerdict FactoryStepVerdict(TTransferEnd End);

// The smallest test file: one write packet. A shorter one (an empty file
// above all) would send nothing, and the read-back of nothing always agrees.
constexpr uint64_t FactoryTestFileMinimum = 32;
// Why TestFile cannot serve as the test file of Mode, naming the file: not a
// regular file, shorter than FactoryTestFileMinimum, or larger than what the
// test writes to. Empty when it can. Checked by RunFactoryTest before
// anything reaches the card, and by the front ends before they ask.
std::string FactoryTestFileRefusal(const std::string& TestFile, TFactoryMode Mode);

// The run itself, between the front end's opening and closing steps: write
// the test file (flash: the page at PageBase is wiped first and the file goes
// to bare addresses from 0; save RAM: from 0, no wipe), then for a full test
// identify the chip, read back as many bytes as the test file holds, and
// compare. Each step's end gives the verdict by FactoryStepVerdict; a
// difference is FAILED. A write-only run is OK only when the whole file was
// sent. Result, when given, receives the reason of a FAILED or CANCLED
// verdict and the backup file. The tests are meant for PageBase 0, so the read-back covers exactly the
// addresses the write used. Operating is left as the transfers left it; the
// caller's closing steps clear it.
TFactoryVerdict RunFactoryTest(const TFactoryRun& Run, TLink& Link, TFactoryResult* Result = nullptr);
