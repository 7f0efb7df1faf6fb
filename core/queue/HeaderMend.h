// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TGameQueue;

// Mending a header on request: the header checksum (which a console checks
// before it starts a game) and the global checksum are set to what the bytes
// give. The logo is never touched: a game with a wrong logo will not start on
// a real console, and only the user can know whether it should.

// Sets both checksums in the Size bytes of a game; true when one changed.
bool MendHeaderBytes(uint8_t* Data, int64_t Size);

// The note a front end gives for a game whose logo is wrong, mended or not.
std::string LogoNotMendedText(const std::string& FileName);

// Copies that carry the mended headers of queued games, so that the files
// the user chose stay as they are. The copies live in the temporary folder
// and go when this object does.
class TMendedCopies {
public:
  TMendedCopies() = default;
  TMendedCopies(const TMendedCopies&) = delete;
  TMendedCopies& operator=(const TMendedCopies&) = delete;
  ~TMendedCopies();

  // Points the queue's row Index at a mended copy of its file when the
  // file's checksums are wrong (Mended true); a file that needs nothing
  // stays queued as it is. False with Error set when the file cannot be
  // read or the copy cannot be written.
  bool Mend(TGameQueue& Queue, size_t Index, bool& Mended, std::string& Error);

  const std::vector<std::string>& Files() const { return FFiles; }
  // The file a queued name stands for: the original of a copy, else itself.
  std::string OriginalOf(const std::string& File) const;

private:
  std::vector<std::string> FFiles;
  std::vector<std::string> FOriginals;   // one per copy
};
