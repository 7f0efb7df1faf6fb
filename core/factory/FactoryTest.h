#pragma once
#include <cstdint>
#include <functional>
#include <string>

class TLink;

// The two production-line tests: write a test file to the cartridge, read the
// same number of bytes back into a fixed file, compare the two.
enum class TFactoryMode { Rom, Sram };

enum class TFactoryVerdict { Ok, Failed, Cancelled };

// Texts of the verdict label, as they stand on the tester's screen.
constexpr const char* FactoryWritingText = "Writting...";
constexpr const char* FactoryReadingText = "Reading...";
constexpr const char* FactoryCheckingText = "Checking...";
constexpr const char* FactoryFormattingText = "Formatting...";
const char* FactoryVerdictText(TFactoryVerdict Verdict);   // "OK", "FAILED", "CANCLED"

// Where a full test reads the cartridge back to: "C:\GBTestROM.gb" and
// "C:\GBTestSRAM.sav" on Windows; elsewhere those names in the program's
// data folder ($XDG_DATA_HOME/flashquill, or ~/.local/share/flashquill),
// which is created when missing. The file stays after the run.
std::string FactoryReadBackFile(TFactoryMode Mode);

struct TFactoryRun {
  TFactoryMode Mode = TFactoryMode::Rom;
  bool WriteOnly = false;          // the tester's "Write" button: no read-back, no comparison
  std::string TestFile;
  std::string ReadBackFile;        // empty: FactoryReadBackFile(Mode)
  // Each state text as the run reaches it ("Writting...", "Reading...",
  // "Checking..."); the verdict itself is the result.
  std::function<void(const char* Stage)> OnStage;
  // The front end's chip identification between the write and the read-back
  // (the window also updates its controls there); without one, the link's.
  std::function<void()> IdentifyChip;
};

// The run itself, between the front end's opening and closing steps: write
// the test file (flash: the page at PageBase is wiped first and the file goes
// to bare addresses from 0; save RAM: from 0, no wipe), then for a full test
// identify the chip, read back as many bytes as the test file holds, and
// compare. Whether Operating is still set after each transfer decides: a stop
// or a link failure gives Cancelled, a difference or a file that cannot be
// read Failed. The tests are meant for PageBase 0, so the read-back covers
// exactly the addresses the write used. Operating is left as the transfers
// left it; the caller's closing steps clear it.
TFactoryVerdict RunFactoryTest(const TFactoryRun& Run, TLink& Link);
