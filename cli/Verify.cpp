#include "cli/Verify.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "cli/Session.h"
#include "core/support/DeleteFile.h"
#include "core/support/FileCompare.h"
#include "core/support/FileData.h"
#include "core/support/Paths.h"
#include "core/transfer/ReadEngine.h"

namespace {

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
constexpr size_t CompareChunk = 0x10000;

}  // namespace

int64_t FirstFileDifference(const std::string& A, const std::string& B, uint64_t Count) {
  TFile FileA(OpenFileShared(A), &std::fclose), FileB(OpenFileShared(B), &std::fclose);
  if (!FileA || !FileB) return 0;
  std::vector<uint8_t> BufferA(CompareChunk), BufferB(CompareChunk);
  uint64_t Done = 0;
  while (Done < Count) {
    const size_t Want = static_cast<size_t>(std::min<uint64_t>(CompareChunk, Count - Done));
    const size_t GotA = std::fread(BufferA.data(), 1, Want, FileA.get());
    const size_t GotB = std::fread(BufferB.data(), 1, Want, FileB.get());
    const size_t Both = std::min(GotA, GotB);
    const int64_t At = FirstDifference(BufferA.data(), BufferB.data(), Both);
    if (At >= 0) return static_cast<int64_t>(Done) + At;
    if (Both < Want) return static_cast<int64_t>(Done + Both);
    Done += Want;
  }
  return -1;
}

bool VerifyCard(TCliSession& Session, const std::string& Expected, const std::string& What, uint32_t Count,
                uint8_t Code, uint32_t CardBase) {
  TCliFrontEnd& FrontEnd = Session.FrontEnd;
  FrontEnd.Note("Verifying...");
  const std::string ReadBack = TempFileName();
  if (ReadBack.empty()) {
    FrontEnd.Error("Verify: no temporary file for the read-back");
    return false;
  }
  Session.ArmReadFault();
  const bool Read = ReadToFile(0, Count, Code, ReadBack, Session.Link());
  bool Same = false;
  if (!Read) {
    FrontEnd.Error("Verify: the read-back did not complete; nothing was compared");
  } else {
    const int64_t At = FirstFileDifference(Expected, ReadBack, Count);
    if (At < 0) {
      Same = true;
      FrontEnd.Note("Verify complete: the card holds the " + std::to_string(Count) + " bytes written.");
    } else {
      char Text[160];
      std::snprintf(Text, sizeof Text, "Verify failed: the card differs from what was written at card address 0x%06X",
                    static_cast<unsigned>(CardBase + static_cast<uint32_t>(At)));
      FrontEnd.Error(std::string(Text) + " (byte " + std::to_string(At) + " of " + What + ")");
    }
  }
  DeleteFileWait(ReadBack, 1000);
  return Same;
}
