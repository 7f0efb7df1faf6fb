// SPDX-License-Identifier: GPL-3.0-or-later
// Host time of the write engine per packet: one full 4 MiB page from a
// queued game onto the emulated cable (in memory), with every progress and
// status update and a pump that does nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/SharedState.h"
#include "core/card/CardLayout.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/Bytes.h"
#include "core/transfer/WriteEngine.h"
#include "emulator/CableEmulator.h"
#include "tests/support/SilentFrontEnd.h"

namespace {

void BM_WriteImageFullPage(benchmark::State& Bench) {
  const std::string Game = (std::filesystem::temp_directory_path() / "fq-bench-write-page.gb").string();
  {
    std::vector<char> Bytes(PageSize);
    for (size_t I = 0; I < Bytes.size(); ++I) Bytes[I] = static_cast<char>(I * 31 + (I >> 9));
    std::ofstream(Game, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  }
  TCard Card;
  TCableEmulator Cable(Card);
  TEmulatedLinkPort Port(Cable);
  TSharedState State;
  TSilentFrontEnd Front;
  TLink Link(Port, State, Front);
  Link.Reconnect();
  TGameQueue Queue;
  if (!Queue.AddGameFile(Game, Front)) {
    Bench.SkipWithError("the page-sized game was not queued");
    return;
  }
  const int64_t Packets = PageSize / 32 + 128;   // the data and the page format
  for (auto _ : Bench) {
    if (!WriteImage("", 0, Queue, Link)) {
      Bench.SkipWithError(("write failed: " + Front.StatusText(1)).c_str());
      break;
    }
  }
  Bench.SetItemsProcessed(Bench.iterations() * Packets);
  // Seconds per packet, shown with an SI prefix (n for nanoseconds).
  Bench.counters["per_packet"] =
      benchmark::Counter(static_cast<double>(Packets), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
  std::filesystem::remove(Game);
}
BENCHMARK(BM_WriteImageFullPage)->Unit(benchmark::kMillisecond);

// The same page as bare write packets through the link, for the engine's own
// share of the time per packet (file reads, progress, pumps).
void BM_BarePacketsFullPage(benchmark::State& Bench) {
  TCard Card;
  TCableEmulator Cable(Card);
  TEmulatedLinkPort Port(Cable);
  TSharedState State;
  TSilentFrontEnd Front;
  TLink Link(Port, State, Front);
  Link.Reconnect();
  TLinkWritePacket Packet{};
  Packet.Header.Code = cmdWriteRom;
  Packet.Header.Length = SwapDWord(32);
  const int64_t Packets = PageSize / 32;
  for (auto _ : Bench) {
    for (uint32_t Address = 0; Address < PageSize; Address += 32) {
      Packet.Header.Address = SwapDWord(Address);
      Packet.Data[0] = static_cast<uint8_t>(Address >> 5);
      if (!Link.SendWritePacket(Packet)) {
        Bench.SkipWithError("packet not taken");
        return;
      }
    }
    Link.FinishWrites();
  }
  Bench.SetItemsProcessed(Bench.iterations() * Packets);
  Bench.counters["per_packet"] =
      benchmark::Counter(static_cast<double>(Packets), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}
BENCHMARK(BM_BarePacketsFullPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
