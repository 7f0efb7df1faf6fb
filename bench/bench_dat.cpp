// SPDX-License-Identifier: GPL-3.0-or-later
// Loading a DAT file of 200,000 entries (what the largest published lists
// for one console come near) and looking dumps up in it: the load must stay
// under a second, a lookup must not grow with the DAT.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/dat/DatFile.h"
#include "core/dat/DatVerdict.h"
#include "core/dat/GameHashes.h"

namespace {

constexpr int Entries = 200000;

// A DAT of Entries games written once per run, each rom with its own
// size, CRC32 and SHA-1 (made up, but of the right form).
const std::string& BigDat() {
  static const std::string File = [] {
    const std::string Name = (std::filesystem::temp_directory_path() / "fq-bench-200k.dat").string();
    std::ofstream Out(Name, std::ios::trunc);
    Out << "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
           "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n\t\t<name>Bench</name>\n\t</header>\n";
    char Line[512];
    for (int I = 0; I < Entries; ++I) {
      const unsigned Crc = static_cast<unsigned>(I) * 2654435761u;
      std::snprintf(Line, sizeof Line,
                    "\t<game name=\"Game %d (World) (Rev %d)\">\n\t\t<description>Game %d (World)</description>\n"
                    "\t\t<rom name=\"Game %d (World) (Rev %d).gb\" size=\"%u\" crc=\"%08x\" "
                    "md5=\"%08x%08x%08x%08x\" sha1=\"%08x%08x%08x%08x%08x\"/>\n\t</game>\n",
                    I, I % 3, I, I, I % 3, 32768u << (I % 8), Crc, Crc, I, Crc, I, Crc, I, Crc, I, Crc);
      Out << Line;
    }
    Out << "</datafile>\n";
    return Name;
  }();
  return File;
}

void BM_LoadDat200k(benchmark::State& State) {
  const std::string& File = BigDat();
  for (auto _ : State) {
    TDatFile Dat;
    std::string Error;
    if (!Dat.Load(File, Error) || Dat.Entries().size() != Entries) State.SkipWithError(Error.c_str());
    benchmark::DoNotOptimize(Dat.Entries().data());
  }
  State.counters["entries"] = Entries;
  State.counters["bytes"] = static_cast<double>(std::filesystem::file_size(File));
}
BENCHMARK(BM_LoadDat200k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_JudgeIn200k(benchmark::State& State) {
  TDatFile Dat;
  std::string Error;
  if (!Dat.Load(BigDat(), Error)) {
    State.SkipWithError(Error.c_str());
    return;
  }
  // An unknown dump costs the most: no hash matches, so every entry of its
  // size is compared by title.
  TGameHashes Unknown;
  Unknown.Size = 32768;
  Unknown.Crc32 = 0x12345678;
  for (auto _ : State) benchmark::DoNotOptimize(JudgeDump(Dat, Unknown, "NOTHING LIKE IT").Match);
}
BENCHMARK(BM_JudgeIn200k)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
