#pragma once
#include <string>

#include "core/transfer/PartialWrite.h"

// Why a named file cannot be written to the card as Kind (RawImage or
// SaveRam), found before anything is asked, backed up or sent: it is
// missing or no regular file (a pipe would hang the program), it is empty
// (nothing would be written and the write would still be called complete),
// or it is larger than where it goes. Text is the program's own status text,
// Detail one line naming the file and the reason.
struct TSourceRefusal {
  std::string Text;
  std::string Detail;
  bool Refused() const { return !Text.empty(); }
};

constexpr const char* WriteEmptySourceError = "Nothing to write: the file is empty!";

TSourceRefusal CheckNamedSource(TCardWriteKind Kind, const std::string& FileName);
