// SPDX-License-Identifier: GPL-3.0-or-later
// The factory tests' verdicts: "OK" only when the whole test file was written
// (and, for a full test, read back alike); "CANCLED" only for a stop and a
// broken cable; every failure of a file "FAILED", with its reason.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/factory/FactoryTest.h"
#include "core/link/PlatformErrors.h"
#include "tests/support/EmulatedRig.h"
#include "tests/support/TestFiles.h"

namespace {

struct TVerdictCase {
  const char* What;
  TFactoryMode Mode;
  bool WriteOnly;
  uint32_t FileSize;      // 0: the test file does not exist
  const char* ReadBack;   // empty: a file in the scratch folder
  std::function<void(TEmulatedRig&)> Arrange;
  TFactoryVerdict Verdict;
  const char* Reason;     // a part of the reason; empty: no reason
};

TEST(FactoryVerdict, OnlyAWholeRunIsOkAndOnlyAStopOrABrokenCableIsCancelled) {
  const auto StopAtPump = [](int Pump) {
    return [Pump](TEmulatedRig& Rig) {
      Rig.Front.OnPump = [&Rig, Pump](int Count) {
        if (Count == Pump) Rig.State.Operating = false;
      };
    };
  };
  // Pulls the cable at the first pump whose panel text begins with Stage.
  const auto UnplugIn = [](const char* Stage) {
    return [Stage](TEmulatedRig& Rig) {
      Rig.Front.OnPump = [&Rig, Stage](int) {
        if (Rig.Front.Panels[1].rfind(Stage, 0) == 0) Rig.Cable.Unplug();
      };
    };
  };
  const TVerdictCase Cases[] = {
      {"full flash test", TFactoryMode::Rom, false, 0x10000, "", nullptr, TFactoryVerdict::Ok, ""},
      {"write-only flash test", TFactoryMode::Rom, true, 0x10000, "", nullptr, TFactoryVerdict::Ok, ""},
      {"full save RAM test", TFactoryMode::Sram, false, 0x2000, "", nullptr, TFactoryVerdict::Ok, ""},
      {"write-only, test file cannot be opened", TFactoryMode::Rom, true, 0, "", nullptr, TFactoryVerdict::Failed,
       "File open error!"},
      {"full, test file cannot be opened", TFactoryMode::Sram, false, 0, "", nullptr, TFactoryVerdict::Failed,
       "File open error!"},
      {"flash test file too large", TFactoryMode::Rom, true, 0x800001, "", nullptr, TFactoryVerdict::Failed,
       "Image file too large!"},
      {"save RAM test file too large", TFactoryMode::Sram, false, 0x20001, "", nullptr, TFactoryVerdict::Failed,
       "Save file too large!"},
      {"read-back that cannot be stored", TFactoryMode::Sram, false, 0x2000, "/dev/full", nullptr,
       TFactoryVerdict::Failed, "File write error!"},
      {"read-back that cannot be created", TFactoryMode::Sram, false, 0x2000, "/nonexistent-folder/back.sav", nullptr,
       TFactoryVerdict::Failed, "File create error!"},
      {"read-back differs", TFactoryMode::Sram, false, 0x2000, "",
       [](TEmulatedRig& Rig) {
         Rig.Front.OnPump = [&Rig](int) {
           if (Rig.Front.Panels[1].rfind("Now reading", 0) == 0) Rig.Cable.FlipReadBitOnce(5, 0x10);
         };
       },
       TFactoryVerdict::Failed, "differs"},
      {"stop during the write", TFactoryMode::Sram, false, 0x2000, "", StopAtPump(20), TFactoryVerdict::Cancelled, ""},
      {"cable gone during the write", TFactoryMode::Rom, true, 0x10000, "", UnplugIn("Now writting...  Estimate"),
       TFactoryVerdict::Cancelled, "Error Code: "},
      {"cable gone during the read-back", TFactoryMode::Sram, false, 0x2000, "", UnplugIn("Now reading"),
       TFactoryVerdict::Cancelled, "Error Code: "},
  };
  for (const TVerdictCase& C : Cases) {
    SCOPED_TRACE(C.What);
    TScratchDir Dir;
    TEmulatedRig Rig;
    Rig.Link.IdentifyChip();
    TFactoryRun Run;
    Run.Mode = C.Mode;
    Run.WriteOnly = C.WriteOnly;
    Run.TestFile = Dir.File("test.bin");
    if (C.FileSize) WriteBytes(Run.TestFile, MakeGame(C.FileSize, "TEST", 7));
    Run.ReadBackFile = *C.ReadBack ? std::string(C.ReadBack) : Dir.File("back.bin");
    if (C.Arrange) C.Arrange(Rig);
    TFactoryResult Result;
    Result.Reason = "unset";
    const TFactoryVerdict Verdict = RunFactoryTest(Run, Rig.Link, &Result);
    const std::string& Reason = Result.Reason;
    EXPECT_EQ(FactoryVerdictText(Verdict), std::string(FactoryVerdictText(C.Verdict))) << Reason;
    if (*C.Reason)
      EXPECT_NE(Reason.find(C.Reason), std::string::npos) << Reason;
    else if (C.Verdict == TFactoryVerdict::Ok)
      EXPECT_EQ(Reason, "");
    else
      EXPECT_FALSE(Reason.empty());
  }
}

TEST(FactoryVerdict, StepRule) {
  EXPECT_EQ(FactoryStepVerdict(TTransferEnd::Done), TFactoryVerdict::Ok);
  EXPECT_EQ(FactoryStepVerdict(TTransferEnd::Stopped), TFactoryVerdict::Cancelled);
  EXPECT_EQ(FactoryStepVerdict(TTransferEnd::LinkFailed), TFactoryVerdict::Cancelled);
  EXPECT_EQ(FactoryStepVerdict(TTransferEnd::FileFailed), TFactoryVerdict::Failed);
}

}  // namespace
