// SPDX-License-Identifier: GPL-3.0-or-later
// Faults of the window that a review found: a test mode whose page a key
// could change, a factory verdict whose reason the closing steps wiped, a
// format that let the window come back mid-run, device changes of an
// operation's time acted on afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "GameFiles.h"
#include "WindowRig.h"
#include "core/factory/FactoryTest.h"

namespace {

// Bytes for a test file, different from what an erased card holds.
std::vector<uint8_t> TestBytes(size_t Size) {
  std::vector<uint8_t> Bytes(Size);
  for (size_t I = 0; I < Size; ++I) Bytes[I] = static_cast<uint8_t>(I * 13 + 5);
  return Bytes;
}

TEST(WindowFaults, RomTestStaysOnPageOneWhateverThePageBoxSays) {
  TWindowRig Rig;
  TGameFolder Files;
  ASSERT_TRUE(Rig.Start({"/rom"}));
  TMainForm& Form = *Rig.Form;
  // The controls under the test box take no keyboard focus...
  for (TControl* Covered : {static_cast<TControl*>(Form.cbPart), static_cast<TControl*>(Form.lvCardRom),
                            static_cast<TControl*>(Form.btnReadSRAM), static_cast<TControl*>(Form.btnEraseChip)}) {
    EXPECT_FALSE(dynamic_cast<TMemoryFocus&>(*Covered).Focusable()) << Form.NameOf(Covered);
  }
  EXPECT_TRUE(dynamic_cast<TMemoryFocus&>(*Form.edTestSRAM).Focusable());
  // ...and should the page box change anyway, the page stays the first.
  Rig.Binding.UserChoose(*Form.cbPart, 1);
  EXPECT_EQ(Form.State().PageBase, 0u);
  // The test itself pins the first page: written from 0, read back from 0.
  Form.State().PageBase = 0x400000;
  const std::vector<uint8_t> Data = TestBytes(5000);
  const std::string File = Files.Path("page.gb");
  WriteBytes(File, Data);
  Form.edTestSRAM->SetText(File);
  Rig.Click(Form.btnTestSRAM);
  EXPECT_EQ(Form.labCheckSRAM->Caption(), "OK");
  EXPECT_EQ(Form.State().PageBase, 0u);
}

TEST(WindowFaults, FailedTestKeepsItsReasonOnScreen) {
  TWindowRig Rig;
  TGameFolder Files;
  ASSERT_TRUE(Rig.Start({"/sram"}));
  TMainForm& Form = *Rig.Form;
  // One byte more than the save RAM holds: refused before anything is sent.
  const std::string File = Files.Path("large.sav");
  WriteBytes(File, TestBytes(TCard::SramSize + 1));
  Form.edTestSRAM->SetText(File);
  Rig.Cable.TakeLog();
  Rig.Click(Form.btnTestSRAM);
  EXPECT_EQ(Form.labCheckSRAM->Caption(), "FAILED");
  // The closing identification emptied panel 1; the reason is back.
  EXPECT_FALSE(Rig.Panel(1).empty());
  EXPECT_NE(Rig.Panel(1).find("large"), std::string::npos) << Rig.Panel(1);
  EXPECT_EQ(Rig.Panel(0), "Device Connected");
}

TEST(WindowFaults, FormatKeepsTheWindowGreyedWhateverComesInItsPump) {
  TWindowRig Rig;
  Rig.PutGame(0, "OLD GAME", 0);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Form.FrontEnd().SetDispatchInterval(std::chrono::microseconds(0));
  struct TSeen {
    bool PanelEnabled = true;
    std::vector<std::string> Enabled;
  };
  std::vector<TSeen> Seen;
  const auto Look = [&] {
    TSeen Now{Form.pMain->Enabled(), {}};
    for (TButton* Button : Form.OperationButtons())
      if (Button->Enabled()) Now.Enabled.push_back(Form.NameOf(Button));
    Seen.push_back(Now);
  };
  // What may come in while the page is cleared: a double-click on the
  // caption, a device change, a queued game.
  Rig.Binding.Post([&] {
    Form.AALabel1DblClick();
    Look();
    Form.WMDeviceChange(7, 0);
    Look();
    Form.lvROMs->AddRow({"game.gb", "GAME", "256K", "32768"});
    Look();
  });
  Rig.Dialogs.MessageAnswers = {MB_RESULT_YES};
  Rig.Click(Form.btnEraseChip);
  ASSERT_EQ(Seen.size(), 3u);
  for (const TSeen& Now : Seen) {
    EXPECT_FALSE(Now.PanelEnabled);
    EXPECT_TRUE(Now.Enabled.empty()) << Now.Enabled.front();
  }
  // Afterwards the window is back, the page empty.
  EXPECT_TRUE(Form.pMain->Enabled());
  EXPECT_TRUE(Form.btnEraseChip->Enabled());
  EXPECT_EQ(Form.lvCardRom->RowCount(), 0);
}

TEST(WindowFaults, DeviceChangesOfAnOperationsTimeAreDroppedAlsoWhenPolledAfterIt) {
  TWindowRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Form.SetOperationBody(Form.btnReadSRAM, [&] {
    Form.State().Operating = true;
    // Out and in again while the operation runs; the poll has not come yet.
    Rig.Cable.Unplug();
    Rig.Cable.Plug();
    Form.FrontEnd().PumpMessages();
  });
  const intptr_t Before = Form.Link().LinkHandle();
  Rig.SentCodes();
  Rig.Click(Form.btnReadSRAM);
  // The poll just after the operation finds the changes: not acted on.
  Rig.Port.PollDeviceEvents();
  EXPECT_EQ(Form.Link().LinkHandle(), Before);
  EXPECT_EQ(Rig.SentCodes(), "");
  EXPECT_EQ(Rig.Panel(0), "Device Disconnected");
  // A change after the operation is acted on as ever.
  Form.WMDeviceChange(7, 0);
  EXPECT_EQ(Rig.Panel(0), "Device Connected");
}

}  // namespace
