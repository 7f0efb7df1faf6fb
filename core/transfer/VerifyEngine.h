#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/transfer/TransferOutcome.h"

class TLink;

constexpr const char* VerifyStartText = "Now verifying...";
constexpr const char* VerifyOpenError = "Verify: the written file cannot be read again!";

// What a verify pass found, besides how it ended.
struct TVerifyOutcome : TTransferOutcome {
  int64_t FirstDifference = -1;   // offset from Start of the first byte that differs; -1: none found
};

// Reads the card range Start..Start+Count (page-relative: the link adds
// PageBase) with Code in the read engine's pieces and compares it with the
// first Count bytes of the file Expected, stopping at the first piece that
// differs. Sets Operating, shows "Now verifying..." with the estimate in
// status panel 1 and the bar from 0, pumps twice per piece; clearing
// Operating stops it. True only when every byte was read and agrees.
bool VerifyAgainstFile(const std::string& Expected, uint32_t Start, uint32_t Count, uint8_t Code, TLink& Link,
                       TVerifyOutcome* Outcome = nullptr);

// The same against bytes in memory: those a write sent, so that a file
// replaced or changed while it was written is no reason to blame the card.
// Bytes shorter than Count differ where they end.
bool VerifyAgainstBytes(const std::vector<uint8_t>& Expected, uint32_t Start, uint32_t Count, uint8_t Code,
                        TLink& Link, TVerifyOutcome* Outcome = nullptr);
