#include "core/factory/FactoryTest.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/queue/GameQueue.h"
#include "core/support/FileCompare.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/WriteEngine.h"

namespace {

const char* ReadBackName(TFactoryMode Mode) { return Mode == TFactoryMode::Sram ? "GBTestSRAM.sav" : "GBTestROM.gb"; }

#ifndef _WIN32
std::filesystem::path DataFolder() {
  // A relative XDG_DATA_HOME is ignored, the same as an unset one.
  if (const char* Xdg = std::getenv("XDG_DATA_HOME"); Xdg && *Xdg && std::filesystem::path(Xdg).is_absolute())
    return std::filesystem::path(Xdg) / "flashquill";
  const char* Home = std::getenv("HOME");
  return std::filesystem::path(Home && *Home ? Home : ".") / ".local" / "share" / "flashquill";
}
#endif

}  // namespace

const char* FactoryVerdictText(TFactoryVerdict Verdict) {
  switch (Verdict) {
    case TFactoryVerdict::Ok: return "OK";
    case TFactoryVerdict::Failed: return "FAILED";
    case TFactoryVerdict::Cancelled: return "CANCLED";
  }
  return "FAILED";
}

std::string FactoryReadBackFile(TFactoryMode Mode) {
#ifdef _WIN32
  return std::string("C:\\") + ReadBackName(Mode);
#else
  const std::filesystem::path Folder = DataFolder();
  // A folder that cannot be made shows later as a read-back file that cannot
  // be created, which the run reports as FAILED.
  std::error_code Ignored;
  std::filesystem::create_directories(Folder, Ignored);
  return (Folder / ReadBackName(Mode)).string();
#endif
}

TFactoryVerdict RunFactoryTest(const TFactoryRun& Run, TLink& Link) {
  TSharedState& State = Link.State();
  const auto Stage = [&Run](const char* Text) {
    if (Run.OnStage) Run.OnStage(Text);
  };
  const bool Sram = Run.Mode == TFactoryMode::Sram;

  Stage(FactoryWritingText);
  // A named file: the queue takes no part in it.
  const TGameQueue NoQueue;
  WriteImage(Run.TestFile, Sram ? cmdWriteSram : 0, NoQueue, Link);
  // What counts is whether the write ran to its end, not its result: a stop
  // and a link failure both clear Operating.
  if (!State.Operating) return TFactoryVerdict::Cancelled;
  if (Run.WriteOnly) return TFactoryVerdict::Ok;

  if (Run.IdentifyChip)
    Run.IdentifyChip();
  else
    Link.IdentifyChip();

  Stage(FactoryReadingText);
  const std::string ReadBack = Run.ReadBackFile.empty() ? FactoryReadBackFile(Run.Mode) : Run.ReadBackFile;
  // The size the test file has now; a file gone since the write reads back
  // nothing and then fails the comparison.
  std::error_code SizeError;
  const uintmax_t Size = std::filesystem::file_size(Run.TestFile, SizeError);
  // The write refused anything larger than the card, so the size fits.
  const uint32_t End = SizeError ? 0 : static_cast<uint32_t>(Size);
  ReadToFile(0, End, Sram ? cmdReadSram : cmdReadRom, ReadBack, Link);
  if (!State.Operating) return TFactoryVerdict::Cancelled;

  Stage(FactoryCheckingText);
  return CompareFiles(Run.TestFile, ReadBack) ? TFactoryVerdict::Ok : TFactoryVerdict::Failed;
}
