// SPDX-License-Identifier: GPL-3.0-or-later
// The factory test box of the "/rom" and "/sram" modes on the emulated card:
// the full test and the write-only run to their verdicts, stops and link
// failures on the way, the choice of the test file, and the whole-chip
// format, also between two packets of a running test.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "GameFiles.h"
#include "WindowRig.h"
#include "core/factory/FactoryTest.h"

namespace {

namespace fs = std::filesystem;

const TColour Black{0, 0, 0}, Green{0, 128, 0}, Red{255, 0, 0};

uint32_t BigEndian(const uint8_t* Bytes) {
  return uint32_t(Bytes[0]) << 24 | uint32_t(Bytes[1]) << 16 | uint32_t(Bytes[2]) << 8 | Bytes[3];
}

std::vector<uint8_t> RandomBytes(size_t Count, unsigned Seed) {
  std::mt19937 Random(Seed);
  std::vector<uint8_t> Bytes(Count);
  for (uint8_t& Byte : Bytes) Byte = static_cast<uint8_t>(Random() | 1);   // never zero
  return Bytes;
}

std::vector<uint8_t> FileBytes(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// What the cable saw of a run: the data commands with their addresses and
// lengths, by code.
struct TCommand {
  uint8_t Code;
  uint32_t Address, Length;
};

std::vector<TCommand> Commands(const std::vector<TTransfer>& Log) {
  std::vector<TCommand> Seen;
  for (const TTransfer& Transfer : Log)
    if (!Transfer.In && Transfer.Bytes.size() >= 9)
      Seen.push_back({Transfer.Bytes[0], BigEndian(&Transfer.Bytes[1]), BigEndian(&Transfer.Bytes[5])});
  return Seen;
}

// The bytes a run of one code covered, in order, as [Address, Address + Length).
std::vector<std::pair<uint32_t, uint32_t>> Ranges(const std::vector<TCommand>& Seen, uint8_t Code) {
  std::vector<std::pair<uint32_t, uint32_t>> Covered;
  for (const TCommand& Command : Seen) {
    if (Command.Code != Code) continue;
    if (!Covered.empty() && Covered.back().second == Command.Address)
      Covered.back().second += Command.Length;
    else
      Covered.emplace_back(Command.Address, Command.Address + Command.Length);
  }
  return Covered;
}

// Runs Step at every pump of the window's event loop while a run goes on
// (the transfers pump twice per packet), as a click or a cable event that
// comes in between two packets would.
class TPumpWatch {
public:
  TPumpWatch(TMemoryBinding& Binding, std::function<void()> Step) : FBinding(Binding) {
    FBinding.OnEachPass = std::move(Step);
  }
  ~TPumpWatch() { FBinding.OnEachPass = nullptr; }

private:
  TMemoryBinding& FBinding;
};

class FactoryTest : public ::testing::Test {
protected:
  TWindowRig Rig;
  TGameFolder Folder;
  std::string SavedDataHome;
  bool HadDataHome = false;

  void SetUp() override {
    ASSERT_TRUE(Folder.Valid());
    // The read-back files go to the user's data folder; this test's own.
    const char* DataHome = std::getenv("XDG_DATA_HOME");
    HadDataHome = DataHome != nullptr;
    SavedDataHome = DataHome ? DataHome : "";
    setenv("XDG_DATA_HOME", Folder.Path("data").c_str(), 1);
  }
  void TearDown() override {
    if (HadDataHome)
      setenv("XDG_DATA_HOME", SavedDataHome.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }

  TMainForm& Form() { return *Rig.Form; }
  void Start(const char* Mode) {
    ASSERT_TRUE(Rig.Start({Mode}));
    Rig.Cable.TakeLog();
  }
  std::string MakeFile(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    const std::string Path = Folder.Path(Name);
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                               static_cast<std::streamsize>(Bytes.size()));
    return Path;
  }
  std::string Verdict() { return Form().labCheckSRAM->Caption(); }
  TColour VerdictColour() { return Form().labCheckSRAM->FontColour(); }
  // Every state text the label showed at a pump, once each, in order.
  std::vector<std::string> States;
  void NoteState() {
    const std::string Now = Verdict();
    if (!Now.empty() && (States.empty() || States.back() != Now)) States.push_back(Now);
  }
};

struct TFullCase {
  const char* Name;
  const char* Mode;
  size_t Size;
  bool Corrupt;            // one bit of the first read-back reply flipped
  const char* Verdict;
  TColour Colour;
};

const TFullCase FullCases[] = {
    {"SaveRam8K", "/sram", 8192, false, "OK", Green},
    // The read-back covers exactly the file, so an odd size still compares equal.
    {"FlashOddSize", "/rom", 70001, false, "OK", Green},
    {"SaveRamCorrupted", "/sram", 8192, true, "FAILED", Red},
    {"FlashCorrupted", "/rom", 4099, true, "FAILED", Red},
};

class FullTest : public FactoryTest, public ::testing::WithParamInterface<TFullCase> {};

TEST_P(FullTest, WritesReadsBackAndCompares) {
  const TFullCase& Case = GetParam();
  Start(Case.Mode);
  const bool Sram = std::strcmp(Case.Mode, "/sram") == 0;
  const std::vector<uint8_t> Data = RandomBytes(Case.Size, 7);
  const std::string TestFile = MakeFile(Sram ? "test.sav" : "test.gb", Data);
  Form().edTestSRAM->SetText(TestFile);
  // The save RAM as it was, which the backup must keep.
  for (uint32_t I = 0; I < 0x20000; ++I) Rig.Card.Sram()[I] = static_cast<uint8_t>(I * 5 + (I >> 9));
  const std::vector<uint8_t> SaveBefore(Rig.Card.Sram(), Rig.Card.Sram() + 0x20000);

  bool Armed = false, Edited = false;
  std::vector<std::string> RunningCaptions;
  bool PanelEnabledWhileRunning = true;
  TPumpWatch Watch(Rig.Binding, [&] {
    NoteState();
    if (!Form().State().Operating) return;
    RunningCaptions.push_back(Form().btnTestSRAM->Caption());
    PanelEnabledWhileRunning = PanelEnabledWhileRunning && Form().pMain->Enabled();
    if (!Edited) {
      // The run keeps the file it started with.
      Form().edTestSRAM->SetText("/no/such/file");
      Edited = true;
    }
    if (Case.Corrupt && !Armed && Verdict() == FactoryReadingText) {
      Rig.Cable.FlipReadBitOnce(100, 0x10);
      Armed = true;
    }
  });
  Form().btnTestSRAM->Click();
  NoteState();

  EXPECT_EQ(Verdict(), Case.Verdict);
  EXPECT_EQ(VerdictColour(), Case.Colour);
  EXPECT_EQ(States, (std::vector<std::string>{"Writting...", "Reading...", Case.Verdict}));
  // Running: the Stop button, the window greyed out; afterwards as it was.
  ASSERT_FALSE(RunningCaptions.empty());
  EXPECT_EQ(RunningCaptions.front(), "&Stop");
  EXPECT_FALSE(PanelEnabledWhileRunning);
  EXPECT_EQ(Form().btnTestSRAM->Caption(), "Test");
  EXPECT_FALSE(Form().State().Operating);
  EXPECT_TRUE(Form().pMain->Enabled());

  // The file went to the card from address 0, and exactly as many bytes came back.
  const std::vector<TCommand> Seen = Commands(Rig.Cable.TakeLog());
  const uint8_t WriteCode = Sram ? 'M' : 'W';
  const std::vector<std::pair<uint32_t, uint32_t>> Written = Ranges(Seen, WriteCode);
  ASSERT_FALSE(Written.empty());
  EXPECT_EQ(Written.back(), std::make_pair(0u, uint32_t(Case.Size)));
  // The save RAM test first backs the whole save RAM up (128 KiB read).
  std::vector<std::pair<uint32_t, uint32_t>> ReadRanges = {{0u, uint32_t(Case.Size)}};
  if (Sram) ReadRanges.insert(ReadRanges.begin(), {0u, 0x20000u});
  EXPECT_EQ(Ranges(Seen, Sram ? 'm' : 0xFF), ReadRanges);
  const uint8_t* Card = Sram ? Rig.Card.Sram() : Rig.Card.Flash();
  EXPECT_EQ(std::memcmp(Card, Data.data(), Data.size()), 0);
  if (Sram) {
    // Save RAM is written as it is, with no wipe of the flash first.
    EXPECT_EQ(Ranges(Seen, 'W').size(), 0u);
    // The backup holds the save RAM as it was, byte for byte, and is named.
    std::vector<fs::path> Backups;
    for (const auto& Entry : fs::directory_iterator(Folder.Path("data/flashquill/backups"))) Backups.push_back(Entry.path());
    ASSERT_EQ(Backups.size(), 1u);
    EXPECT_EQ(FileBytes(Backups.front().string()), SaveBefore);
    EXPECT_NE(Rig.Panel(1).find(Backups.front().string()), std::string::npos) << Rig.Panel(1);
  }

  const std::string ReadBack = FactoryReadBackFile(Sram ? TFactoryMode::Sram : TFactoryMode::Rom);
  EXPECT_EQ(fs::path(ReadBack).filename(), Sram ? "GBTestSRAM.sav" : "GBTestROM.gb");
  EXPECT_EQ(fs::path(ReadBack).parent_path(), Folder.Path("data/flashquill"));
  std::vector<uint8_t> Expected = Data;
  if (Case.Corrupt) Expected[100] ^= 0x10;
  EXPECT_EQ(FileBytes(ReadBack), Expected);
}

INSTANTIATE_TEST_SUITE_P(Window, FullTest, ::testing::ValuesIn(FullCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TStopCase {
  const char* Name;
  const char* Clicked;      // the button that starts the run
  const char* StoppedBy;    // a button clicked between two write packets, or the cable pulled
  const char* Verdict;
  const char* StopperCaption;   // the stopping button's caption afterwards
};

const TStopCase StopCases[] = {
    {"TestStoppedByItself", "btnTestSRAM", "btnTestSRAM", "CANCLED", "Test"},
    {"TestStoppedByWrite", "btnTestSRAM", "btnTestWrite", "CANCLED", "Write"},
    {"TestUnplugged", "btnTestSRAM", nullptr, "CANCLED", nullptr},
    {"WriteToItsEnd", "btnTestWrite", "", "OK", nullptr},
    {"WriteStopped", "btnTestWrite", "btnTestWrite", "CANCLED", "Write"},
};

class StopTest : public FactoryTest, public ::testing::WithParamInterface<TStopCase> {};

TEST_P(StopTest, WriteEndsWithItsVerdictAndNoReadBack) {
  const TStopCase& Case = GetParam();
  Start("/rom");
  const std::string ReadBack = FactoryReadBackFile(TFactoryMode::Rom);
  const std::vector<uint8_t> Data = RandomBytes(8192, 3);
  Form().edTestSRAM->SetText(MakeFile("stop.gb", Data));
  TButton* Clicked = &Rig.Control<TButton>(Case.Clicked);
  ASSERT_NE(Clicked, nullptr);

  int Pumps = 0;
  std::string CaptionAfterStop;
  TPumpWatch Watch(Rig.Binding, [&] {
    NoteState();
    if (!Form().State().Operating || ++Pumps != 40) return;
    if (Case.StoppedBy == nullptr) {
      Rig.Cable.Unplug();
    } else if (*Case.StoppedBy) {
      TButton* Stopper = &Rig.Control<TButton>(Case.StoppedBy);
      Stopper->Click();
      CaptionAfterStop = Stopper->Caption();
    }
  });
  Clicked->Click();
  NoteState();

  EXPECT_EQ(Verdict(), Case.Verdict);
  EXPECT_EQ(VerdictColour(), std::strcmp(Case.Verdict, "OK") == 0 ? Green : Black);
  EXPECT_EQ(States, (std::vector<std::string>{"Writting...", Case.Verdict}));
  // A stop click gives its own button back the caption it found: "&Stop"
  // on the running button, its own caption on the other one; the running
  // button's closing steps then give it its caption back.
  if (Case.StoppedBy && *Case.StoppedBy) {
    EXPECT_EQ(CaptionAfterStop, std::strcmp(Case.StoppedBy, Case.Clicked) == 0 ? "&Stop" : Case.StopperCaption);
  }
  EXPECT_EQ(Form().btnTestSRAM->Caption(), "Test");
  EXPECT_EQ(Form().btnTestWrite->Caption(), "Write");
  EXPECT_FALSE(Form().State().Operating);

  const std::vector<TCommand> Seen = Commands(Rig.Cable.TakeLog());
  EXPECT_TRUE(Ranges(Seen, 0xFF).empty());   // nothing was read back
  EXPECT_FALSE(fs::exists(ReadBack));
  const std::vector<std::pair<uint32_t, uint32_t>> Written = Ranges(Seen, 'W');
  ASSERT_FALSE(Written.empty());
  const bool ToItsEnd = std::strcmp(Case.Verdict, "OK") == 0;
  EXPECT_EQ(Written.back().second == Data.size(), ToItsEnd);
  if (Case.StoppedBy == nullptr) {
    EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);
    EXPECT_EQ(Rig.Panel(0), "Device Disconnected");
  }
}

INSTANTIATE_TEST_SUITE_P(Window, StopTest, ::testing::ValuesIn(StopCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

struct TChoiceCase {
  const char* Name;
  const char* Mode;
  const char* Typed;                   // "" empty; "missing": a name of no file; else a real file's name
  std::vector<std::string> Answer;     // the open dialog's answer; empty: cancelled
  bool Asked;
  bool Runs;
  const char* Filter;
};

const char* const SaveFilter = "Game Boy Save File (*.sav)|*.sav|All Files (*.*)|*.*";
const char* const GameFilter = "GB Game Files (*.gb;*.gbc)|*.gb;*.gbc|All Files (*.*)|*.*";

const TChoiceCase ChoiceCases[] = {
    {"TypedNameUsedDirectly", "/sram", "a.sav", {}, false, true, ""},
    {"EmptyAsksAndTakesTheFirstFile", "/sram", "", {"a.sav", "b.sav"}, true, true, SaveFilter},
    {"MissingAsksWithTheGameFilter", "/rom", "missing", {"a.sav"}, true, true, GameFilter},
    {"CancelledDoesNothing", "/sram", "missing", {}, true, false, SaveFilter},
};

class ChoiceTest : public FactoryTest, public ::testing::WithParamInterface<TChoiceCase> {};

TEST_P(ChoiceTest, TestFileIsTheNamedOneOrTheChosenOne) {
  const TChoiceCase& Case = GetParam();
  Start(Case.Mode);
  const std::string A = MakeFile("a.sav", RandomBytes(100, 1));
  MakeFile("b.sav", RandomBytes(200, 2));
  const std::string Typed = std::strcmp(Case.Typed, "") == 0          ? std::string()
                            : std::strcmp(Case.Typed, "missing") == 0 ? Folder.Path("missing.sav")
                                                                      : Folder.Path(Case.Typed);
  Form().edTestSRAM->SetText(Typed);
  std::vector<std::string> Answer;
  for (const std::string& Name : Case.Answer) Answer.push_back(Folder.Path(Name));
  Rig.Dialogs.OpenAnswers.push_back(Answer);

  Form().btnTestSRAM->Click();

  EXPECT_EQ(Rig.Dialogs.Filters.size(), Case.Asked ? 1u : 0u);
  if (Case.Asked && !Rig.Dialogs.Filters.empty()) {
    EXPECT_EQ(Rig.Dialogs.Filters[0], Case.Filter);
  }
  const std::vector<TCommand> Seen = Commands(Rig.Cable.TakeLog());
  if (Case.Runs) {
    EXPECT_EQ(Form().edTestSRAM->Text(), A);
    EXPECT_EQ(Verdict(), "OK");
    EXPECT_FALSE(Seen.empty());
  } else {
    // Nothing changed: no packet, no verdict, the edit as it was.
    EXPECT_EQ(Form().edTestSRAM->Text(), Typed);
    EXPECT_EQ(Verdict(), "");
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(Form().btnTestSRAM->Caption(), "Test");
    EXPECT_TRUE(Form().pMain->Enabled());
  }
}

INSTANTIATE_TEST_SUITE_P(Window, ChoiceTest, ::testing::ValuesIn(ChoiceCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(FactoryTest, BrowseButtonCancelledKeepsTheEdit) {
  Start("/rom");
  Form().edTestSRAM->SetText("kept.gb");
  Form().BitBtn1->Click();
  EXPECT_EQ(Form().edTestSRAM->Text(), "kept.gb");
  ASSERT_EQ(Rig.Dialogs.Filters.size(), 1u);
  EXPECT_EQ(Rig.Dialogs.Filters[0], GameFilter);
}

TEST_F(FactoryTest, FormatWipesBothPagesAndEndsOkAlsoUnplugged) {
  Start("/rom");
  Rig.PutGame(0, "FIRST", 0);
  Rig.PutGame(0x400000 + 0x8000, "SECOND", 0);
  TPumpWatch Watch(Rig.Binding, [&] { NoteState(); });
  Form().btnTestFormat->Click();
  NoteState();
  EXPECT_EQ(States, (std::vector<std::string>{"Formatting...", "OK"}));
  EXPECT_EQ(VerdictColour(), Green);
  // The header area of every 32 KiB block of the chip, one packet each.
  const std::vector<TCommand> Seen = Commands(Rig.Cable.TakeLog());
  ASSERT_EQ(Seen.size(), 256u);
  for (size_t Block = 0; Block < Seen.size(); ++Block) {
    EXPECT_EQ(Seen[Block].Code, 'W');
    EXPECT_EQ(Seen[Block].Address, Block * 0x8000 + 0x130);
  }
  for (uint32_t Header : {0x134u, 0x408134u}) EXPECT_EQ(Rig.Card.Flash()[Header], 0) << Header;
  // Outside the operation pattern: nothing was greyed out or set.
  EXPECT_TRUE(Form().pMain->Enabled());
  EXPECT_FALSE(Form().State().Operating);

  Rig.Cable.Unplug();
  Form().labCheckSRAM->SetCaption("");
  Form().btnTestFormat->Click();
  EXPECT_EQ(Verdict(), "OK");
  EXPECT_EQ(VerdictColour(), Green);
}

TEST_F(FactoryTest, FormatRunsAtOnceBetweenTwoPacketsOfARunningTest) {
  Start("/rom");
  const std::vector<uint8_t> Data = RandomBytes(4096, 5);
  Form().edTestSRAM->SetText(MakeFile("format.gb", Data));
  int Pumps = 0;
  std::string VerdictAfterFormat, CaptionAfterFormat;
  bool OperatingAfterFormat = false;
  size_t PacketsBefore = 0, FormatPackets = 0;
  TPumpWatch Watch(Rig.Binding, [&] {
    if (!Form().State().Operating || Verdict() != FactoryWritingText || ++Pumps != 60) return;
    PacketsBefore = Commands(Rig.Cable.TakeLog()).size();
    Form().btnTestFormat->Click();
    FormatPackets = Commands(Rig.Cable.TakeLog()).size();
    VerdictAfterFormat = Verdict();
    CaptionAfterFormat = Form().btnTestSRAM->Caption();
    OperatingAfterFormat = Form().State().Operating;
  });
  Form().btnTestSRAM->Click();

  // The whole-chip wipe ran inside the test, which went on afterwards.
  EXPECT_GT(PacketsBefore, 128u);
  EXPECT_EQ(FormatPackets, 256u);
  EXPECT_EQ(VerdictAfterFormat, "OK");
  EXPECT_EQ(CaptionAfterFormat, "&Stop");
  EXPECT_TRUE(OperatingAfterFormat);
  EXPECT_FALSE(Ranges(Commands(Rig.Cable.TakeLog()), 0xFF).empty());
  // It cleared the header area the test had already written, so the card
  // no longer holds the test file.
  EXPECT_EQ(Rig.Card.Flash()[0x134], 0);
  EXPECT_EQ(Verdict(), "FAILED");
}

}  // namespace
