// SPDX-License-Identifier: GPL-3.0-or-later
// Host time per packet of the window's own Write: one full 4 MiB page from
// the queue onto the emulated cable (in memory, no latency), with the
// window's two message pumps per packet (a full pass of the event loop
// whenever a text or the bar changed, else at most every millisecond), every
// progress and status update, the page format and the closing listing, on
// the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ProgramResources.h"
#include "app/form/MainForm.h"
#include "app/memory/ScriptedDialogs.h"
#include "app/qt/QtBinding.h"
#include "core/card/CardLayout.h"
#include "core/link/EmulatedLinkPort.h"
#include "emulator/CableEmulator.h"

namespace {

void BM_WindowWriteFullPage(benchmark::State& Bench) {
  const std::string Game = (std::filesystem::temp_directory_path() / "fq-bench-window-page.gb").string();
  {
    std::vector<char> Bytes(PageSize);
    for (size_t I = 0; I < Bytes.size(); ++I) Bytes[I] = static_cast<char>(I * 31 + (I >> 9));
    // A header the listing finds: the logo's tail, a title, ROM-size code 7 (4 MiB).
    const char Head[] = "\xBB\xB9\x33\x3E" "BENCH PAGE";
    std::copy(Head, Head + sizeof Head, Bytes.begin() + 0x130);
    Bytes[0x148] = 7;
    std::ofstream(Game, std::ios::binary).write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  }
  TCard Card;
  TCableEmulator Cable(Card);
  TEmulatedLinkPort Port(Cable);
  TScriptedDialogs Dialogs;
  TQtBinding Binding;
  TMainForm Form(Binding, Port, Dialogs, {});
  Form.Show();
  while (!Form.FirstIdleDone()) QCoreApplication::processEvents();
  Form.AddGameFile(Game);
  if (Form.Queue().Count() != 1) {
    Bench.SkipWithError("the page-sized game was not queued");
    return;
  }
  const int64_t Packets = PageSize / 32 + 128;   // the data and the page format
  for (auto _ : Bench) {
    // From the second round on the card list shows the game: Yes to the question.
    Dialogs.MessageAnswers = {MB_RESULT_YES};
    Form.btnWriteClick();
    if (Form.lvCardRom->RowCount() != 1) {
      Bench.SkipWithError("the written game is not listed");
      break;
    }
  }
  Bench.SetItemsProcessed(Bench.iterations() * Packets);
  Bench.counters["per_packet"] =
      benchmark::Counter(static_cast<double>(Packets), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
  std::filesystem::remove(Game);
}
BENCHMARK(BM_WindowWriteFullPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  RegisterResources(ProgramResources());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
