// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/FileCompare.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/support/FileData.h"
#include "core/support/FileSize.h"

int64_t FirstDifference(const void* A, const void* B, size_t Count) {
  const auto* PA = static_cast<const uint8_t*>(A);
  const auto* PB = static_cast<const uint8_t*>(B);
  for (size_t I = 0; I < Count; ++I)
    if (PA[I] != PB[I]) return static_cast<int64_t>(I);
  return -1;
}

bool SameBytes(const void* A, const void* B, size_t Count) { return FirstDifference(A, B, Count) == -1; }

namespace {

struct TFileCloser {
  void operator()(std::FILE* File) const {
    if (File) std::fclose(File);
  }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

}  // namespace

bool CompareFiles(const std::string& A, const std::string& B) {
  constexpr size_t ChunkSize = 65536;
  TFile FileA(OpenFileShared(A));
  TFile FileB(OpenFileShared(B));
  if (!FileA || !FileB) return false;
  const int64_t SizeA = FileSizeOfHandle(FileA.get());
  if (SizeA < 0 || SizeA != FileSizeOfHandle(FileB.get())) return false;

  std::vector<uint8_t> BufferA(ChunkSize), BufferB(ChunkSize);
  int64_t Remaining = SizeA;
  while (Remaining > 0) {
    const size_t Chunk = Remaining < static_cast<int64_t>(ChunkSize) ? static_cast<size_t>(Remaining) : ChunkSize;
    const size_t ReadA = std::fread(BufferA.data(), 1, Chunk, FileA.get());
    const size_t ReadB = std::fread(BufferB.data(), 1, Chunk, FileB.get());
    if (ReadA != ReadB) return false;
    // Both reads came up short: the files changed while being compared, and
    // the buffers' tails would hold stale bytes of the last chunk.
    if (ReadA != Chunk) return false;
    if (!SameBytes(BufferA.data(), BufferB.data(), Chunk)) return false;
    Remaining -= static_cast<int64_t>(Chunk);
  }
  return true;
}
