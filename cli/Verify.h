#pragma once
#include <cstdint>
#include <string>

class TCliSession;

// The first byte at which two files differ within their first Count bytes,
// -1 when they agree; a file shorter than Count differs where it ends.
int64_t FirstFileDifference(const std::string& A, const std::string& B, uint64_t Count);

// Reads Count bytes from offset 0 with Code (the link adds PageBase, which
// the caller sets to where the bytes were written) and compares them with
// the first Count bytes of Expected. A mismatch is reported with the first
// differing card address (CardBase + offset). True when the card agrees.
// What names the expected bytes in that report ("image.gb", "the pack image").
bool VerifyCard(TCliSession& Session, const std::string& Expected, const std::string& What, uint32_t Count,
                uint8_t Code, uint32_t CardBase);
