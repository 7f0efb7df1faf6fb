// SPDX-License-Identifier: GPL-3.0-or-later
// The host's cost of one write packet through TLink on the emulated cable,
// over one whole 4 MiB page (131072 packets of 32 bytes). This is what the
// program adds beside the cable's own time per packet; the figure printed is
// nanoseconds per packet.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "emulator/CableEmulator.h"
#include "tests/support/SilentFrontEnd.h"

namespace {

constexpr uint32_t PageSize = 0x400000;
constexpr uint32_t PacketsPerPage = PageSize / LinkWriteChunk;   // 131072

void BM_WritePacketsOnePage(benchmark::State& Bench) {
  TCard Card;
  TCableEmulator Cable(Card);
  TEmulatedLinkPort Port(Cable);
  TSharedState State;
  TSilentFrontEnd FrontEnd;
  TLink Link(Port, State, FrontEnd);
  if (!Link.Reconnect()) {
    Bench.SkipWithError("the emulated cable did not open");
    return;
  }
  State.PageBase = PageSize;
  TLinkWritePacket Packet;
  std::memset(Packet.Data, 0x5A, sizeof Packet.Data);

  double Nanoseconds = 0;
  for (auto _ : Bench) {
    const auto Start = std::chrono::steady_clock::now();
    for (uint32_t I = 0; I < PacketsPerPage; ++I) {
      Packet.Header = MakeLinkCommand(cmdWriteRom, State.PageBase + I * LinkWriteChunk, LinkWriteChunk);
      Packet.Data[0] = static_cast<uint8_t>(I);
      if (!Link.SendWritePacket(Packet)) {
        Bench.SkipWithError("a write packet was refused");
        return;
      }
    }
    Nanoseconds += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - Start).count();
  }
  Bench.SetItemsProcessed(static_cast<int64_t>(Bench.iterations()) * PacketsPerPage);
  Bench.counters["ns_per_packet"] = Nanoseconds / (static_cast<double>(Bench.iterations()) * PacketsPerPage);
}

}  // namespace

BENCHMARK(BM_WritePacketsOnePage)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
