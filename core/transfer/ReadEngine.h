#pragma once
#include <cstdint>
#include <string>

#include "core/transfer/TransferOutcome.h"

class TLink;

// Size of one read exchange with the cable.
constexpr uint32_t ReadPieceSize = 4096;

constexpr const char* ReadFileCreateError = "File create error!";
// A piece that could not be appended to the file (disk full, I/O error).
constexpr const char* ReadFileWriteError = "File write error!";

// Copies the card range Start..End (End exclusive, page-relative: the link
// adds PageBase) read with Code (cmdReadRom or cmdReadSram) into FileName,
// which is replaced only once every byte is in: the read goes into a
// temporary file beside it, renamed over FileName at the end. Sets Operating, reports progress and the
// estimate in status panel 1 and pumps the front end's messages twice per
// piece; clearing Operating stops it before the next piece. True only when
// the whole range reached the file. Whatever ends it early, FileName stays
// as it was (or absent) and the temporary is removed. Outcome, when given, receives how the
// read ended and how many bytes reached the file.
bool ReadToFile(uint32_t Start, uint32_t End, uint8_t Code, const std::string& FileName, TLink& Link,
                TTransferOutcome* Outcome = nullptr);
