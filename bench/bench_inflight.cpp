// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated cable time (not host time) of a full 4 MiB page write on the
// timed emulated cable, one packet at a time and with N = 2 to 32 in flight,
// beside the flash's own limit (every buffer program and block erase back
// to back, the bus never keeping the flash waiting); and of a 4 MiB read and
// its verify beside the bus's limit. Completions are seen at frame ends
// (1 ms) or every 125 us. Also: the same page written again after a write
// cut at 80 %, whole and then only what differs; and the contact check.
// The timing is a model: see emulator/CableTiming.h.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/SharedState.h"
#include "core/card/CardLayout.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/queue/GameQueue.h"
#include "core/transfer/ContactCheck.h"
#include "core/transfer/FormatCard.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/VerifyEngine.h"
#include "core/transfer/WriteEngine.h"
#include "emulator/CableEmulator.h"
#include "tests/support/SilentFrontEnd.h"

namespace {

std::string PageFile() {
  const std::string Game = (std::filesystem::temp_directory_path() / "fq-bench-inflight-page.gb").string();
  if (std::filesystem::exists(Game) && std::filesystem::file_size(Game) == PageSize) return Game;
  std::vector<char> Bytes(PageSize);
  for (size_t I = 0; I < Bytes.size(); ++I) Bytes[I] = static_cast<char>(I * 31 + (I >> 9));
  std::ofstream(Game, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  return Game;
}

// One timed cable with its link, completions seen every LatencyUs.
struct TTimedRig {
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TSharedState State;
  TSilentFrontEnd Front;
  TLink Link{Port, State, Front};
  explicit TTimedRig(int64_t LatencyUs) {
    TCableTimingFigures Figures;
    Figures.CompletionLatencyNs = LatencyUs * 1000;
    Port.EnableTiming(Figures);
    Link.Reconnect();
  }
  double Seconds(int64_t Since) const { return static_cast<double>(Port.SimulatedNanoseconds() - Since) / 1e9; }
};

// Args: N (packets in flight), completion interval in microseconds.
void BM_PageWrite(benchmark::State& Bench) {
  const std::string Game = PageFile();
  const unsigned Depth = static_cast<unsigned>(Bench.range(0));
  double Simulated = 0, Limit = 0;
  for (auto _ : Bench) {
    TTimedRig Rig(Bench.range(1));
    Rig.Link.Writes().SetDepth(Depth);
    TGameQueue Queue;
    if (!Queue.AddGameFile(Game, Rig.Front)) {
      Bench.SkipWithError("the page-sized game was not queued");
      return;
    }
    const int64_t Start = Rig.Port.SimulatedNanoseconds();
    if (!WriteImage("", 0, Queue, Rig.Link)) {
      Bench.SkipWithError(("write failed: " + Rig.Front.StatusText(1)).c_str());
      return;
    }
    Simulated = Rig.Seconds(Start);
    const uint64_t Packets = PageSize / LinkWriteChunk + FormatBlocksPerPage;
    Limit = static_cast<double>(Rig.Port.Timing()->FlashLimitNs(Packets, PageSize / TCard::EraseBlockSize)) / 1e9;
  }
  Bench.counters["simulated_s"] = Simulated;
  Bench.counters["flash_limit_s"] = Limit;
  Bench.counters["x_limit"] = Simulated / Limit;
}
BENCHMARK(BM_PageWrite)
    ->ArgsProduct({{1, 2, 4, 8, 16, 32}, {1000, 125}})
    ->ArgNames({"N", "latency_us"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// A 4 MiB read into a file and a verify of the page against it.
void BM_PageReadAndVerify(benchmark::State& Bench) {
  const std::string Game = PageFile();
  const std::string Back = (std::filesystem::temp_directory_path() / "fq-bench-inflight-back.gb").string();
  double Read = 0, Verify = 0, Limit = 0;
  for (auto _ : Bench) {
    TTimedRig Rig(Bench.range(0));
    int64_t Start = Rig.Port.SimulatedNanoseconds();
    if (!ReadToFile(0, PageSize, cmdReadRom, Back, Rig.Link)) {
      Bench.SkipWithError(("read failed: " + Rig.Front.StatusText(1)).c_str());
      return;
    }
    Read = Rig.Seconds(Start);
    Start = Rig.Port.SimulatedNanoseconds();
    if (!VerifyAgainstFile(Back, 0, PageSize, cmdReadRom, Rig.Link)) {
      Bench.SkipWithError(("verify failed: " + Rig.Front.StatusText(1)).c_str());
      return;
    }
    Verify = Rig.Seconds(Start);
    Limit = static_cast<double>(Rig.Port.Timing()->BusLimitNs(PageSize)) / 1e9;
  }
  std::filesystem::remove(Back);
  Bench.counters["read_s"] = Read;
  Bench.counters["verify_s"] = Verify;
  Bench.counters["bus_limit_s"] = Limit;
}
BENCHMARK(BM_PageReadAndVerify)->Arg(1000)->Arg(125)->ArgNames({"latency_us"})->Unit(benchmark::kMillisecond)->Iterations(1);

// A page write cut at 80 % (the cable pulled after the format and 80 % of
// the packets), then written again: whole (format and every packet) and
// only what differs (the comparison, then the blocks that differ). The
// verify after either is the same read and is left out. Args: N,
// completion interval in microseconds.
void BM_RepairAfterCut(benchmark::State& Bench) {
  const std::string Game = PageFile();
  const unsigned Depth = static_cast<unsigned>(Bench.range(0));
  double Whole = 0, Repair = 0, Rewritten = 0;
  for (auto _ : Bench) {
    for (const TRepairMode Mode : {TRepairMode::Off, TRepairMode::On}) {
      TTimedRig Rig(Bench.range(1));
      Rig.Link.Writes().SetDepth(Depth);
      TGameQueue Queue;
      if (!Queue.AddGameFile(Game, Rig.Front)) {
        Bench.SkipWithError("the page-sized game was not queued");
        return;
      }
      Rig.Cable.UnplugAfter(static_cast<long>(FormatBlocksPerPage + PageSize / LinkWriteChunk * 8 / 10));
      if (WriteImage("", 0, Queue, Rig.Link)) {
        Bench.SkipWithError("the cut write ran to its end");
        return;
      }
      Rig.Cable.Plug();
      Rig.Link.Reconnect();
      const int64_t Start = Rig.Port.SimulatedNanoseconds();
      TTransferOutcome Outcome;
      if (!WriteImage("", 0, Queue, Rig.Link, &Outcome, nullptr, Mode)) {
        Bench.SkipWithError(("write failed: " + Rig.Front.StatusText(1)).c_str());
        return;
      }
      (Mode == TRepairMode::On ? Repair : Whole) = Rig.Seconds(Start);
      if (Mode == TRepairMode::On) Rewritten = Outcome.BlocksRewritten;
    }
  }
  Bench.counters["whole_s"] = Whole;
  Bench.counters["repair_s"] = Repair;
  Bench.counters["saved_s"] = Whole - Repair;
  Bench.counters["blocks_rewritten"] = Rewritten;
}
BENCHMARK(BM_RepairAfterCut)
    ->ArgsProduct({{1, 16}, {1000, 125}})
    ->ArgNames({"N", "latency_us"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The contact check before a write: every part read twice.
void BM_ContactCheck(benchmark::State& Bench) {
  double Simulated = 0;
  for (auto _ : Bench) {
    TTimedRig Rig(Bench.range(0));
    const int64_t Start = Rig.Port.SimulatedNanoseconds();
    if (!CheckContact(Rig.Link).Stable) {
      Bench.SkipWithError("the sound cable failed the contact check");
      return;
    }
    Simulated = Rig.Seconds(Start);
  }
  Bench.counters["simulated_s"] = Simulated;
}
BENCHMARK(BM_ContactCheck)->Arg(1000)->Arg(125)->ArgNames({"latency_us"})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
