// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// How one transfer between a file and the card ended. The engines keep
// returning a plain bool; a caller that must tell a stop from a broken cable
// or a file failure (the factory verdict, the report of a cut-short write)
// passes one of these and reads why.
enum class TTransferEnd {
  Done,         // every byte went where it should
  Stopped,      // Operating was cleared from outside: a Stop click or Ctrl-C
  LinkFailed,   // the cable did not take or give an exchange ("Error Code: N")
  FileFailed,   // a file could not be opened, read, created or written, or was too large
};

struct TTransferOutcome {
  TTransferEnd End = TTransferEnd::Done;
  uint32_t Total = 0;     // bytes the transfer was to move (0 when refused before it knew)
  uint32_t Reached = 0;   // bytes moved before it ended
  bool CardTouched = false;   // a write: the format or a packet reached the card
  // A write's format step: the blocks it was to clear and those it cleared
  // (both 0 when the write formats nothing).
  uint32_t FormatBlocks = 0;
  uint32_t FormatCleared = 0;
  // A write that rewrote only what differed (no format step then): the
  // erase blocks of the image compared, those that differed and those of
  // them rewritten, and the old headers past the image to clear and cleared.
  bool Repair = false;
  uint32_t BlocksCompared = 0;
  uint32_t BlocksToRewrite = 0;
  uint32_t BlocksRewritten = 0;
  uint32_t HeadersToClear = 0;
  uint32_t HeadersCleared = 0;
  std::string Reason;     // the status text of a failure; empty when done
  // A file failure: the file and the system's reason ("out/A.GB: Permission
  // denied"), one line to say beside the program's own text.
  std::string Detail;
};
