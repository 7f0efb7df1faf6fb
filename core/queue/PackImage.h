#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/queue/GameQueue.h"

class TFrontEnd;

// Games in a pack start on whole 32 KiB blocks, the grid on which the card
// listing and the boot menu look for headers; a game whose length is not a
// multiple of that is padded with zero bytes up to the next one.
constexpr uint32_t PackBlockSize = 0x8000;
uint32_t PackedGameSize(uint32_t Size);

// Where a game of Size bytes goes when the image so far ends at End: the
// first of 1 x Size .. 7 x Size that is not below End, else End itself.
uint32_t PackPlacement(uint32_t End, uint32_t Size);

// Builds the image of a write of two or more games in a private temporary
// file that has no name (OpenPrivateTempFile): the boot menu (resource
// "GBPACK" of type "KVQ") first, then each row in order at its
// PackPlacement, the gaps zero bytes. On true the image is complete and Pack
// is open on it for reading and writing; closing it is all the cleaning up
// there is, and nothing of it is left in the temporary folder whatever ends
// the program. PackFileName is left empty (kept for the callers that once
// deleted it). On false nothing is left behind: the menu is missing, a queued game
// cannot be read in full, the temporary file cannot be written, or the
// layout would run past the end of the page (the last shows the space error
// box). Offsets, when given, receives each row's place in the image.
bool BuildPackImage(const std::vector<TQueueRow>& Rows, TFrontEnd& FrontEnd, std::string& PackFileName,
                    std::FILE*& Pack, std::vector<uint32_t>* Offsets = nullptr);
