// SPDX-License-Identifier: GPL-3.0-or-later
// Operation control: starting, stopping and ending an operation, the close
// query, and what happens to device changes and identifications meanwhile.
#include <gtest/gtest.h>

#include <functional>

#include "WindowRig.h"

namespace {

// The window state while an operation runs.
struct TLook {
  bool PanelEnabled;
  std::vector<std::string> Enabled;   // operation buttons enabled
  std::string Caption;                // of the pressed button
  bool Operating;
};

TLook LookOf(TMainForm& Form, TButton* Button) {
  TLook Look{Form.pMain->Enabled(), {}, Button->Caption(), Form.State().Operating};
  for (TButton* Each : Form.OperationButtons())
    if (Each->Enabled()) Look.Enabled.push_back(Form.NameOf(Each));
  return Look;
}

class Operation : public ::testing::Test {
protected:
  TWindowRig Rig;
  void SetUp() override {
    Rig.PutGame(0, "WHOLE PAGE", 7);
    ASSERT_TRUE(Rig.Start());
    // These operations act at a chosen pump, so every pump is a full pass.
    Form().FrontEnd().SetDispatchInterval(std::chrono::microseconds(0));
    Rig.SentCodes();
  }
  TMainForm& Form() { return *Rig.Form; }

  // An operation of packets with the window pumped between them, as the
  // operations run; Step runs before each packet's pump, AfterPump after it.
  void Install(TButton* Button, int Packets, std::function<void(int)> Step,
               std::function<void(int)> AfterPump = nullptr) {
    Form().SetOperationBody(Button, [this, Packets, Step, AfterPump] {
      Form().State().Operating = true;
      for (int Packet = 0; Packet < Packets && Form().State().Operating; ++Packet) {
        Step(Packet);
        Form().FrontEnd().PumpMessages();
        if (AfterPump) AfterPump(Packet);
        ++PacketsSent;
      }
    });
  }
  // A click that comes in while the window pumps its messages.
  void ClickLater(TButton* Button) {
    Rig.Binding.Post([this, Button] { Rig.Click(Button); });
  }

  int PacketsSent = 0;
};

TEST_F(Operation, StopClickRestoresTheWindowAtOnceAndAgainWhenTheLoopEnds) {
  TButton* Button = Form().btnReadSRAM;
  std::vector<TLook> Seen;
  TLook AfterStop{};
  std::string CodesAtStop;
  Install(
      Button, 10,
      [&](int Packet) {
        Seen.push_back(LookOf(Form(), Button));
        if (Packet == 1) ClickLater(Button);   // handled inside this packet's pump
      },
      [&](int Packet) {
        if (Packet == 1) {
          AfterStop = LookOf(Form(), Button);
          CodesAtStop = Rig.SentCodes();
        }
      });
  Button->Click();

  // Running: only the pressed button is usable, as the Stop button.
  ASSERT_GE(Seen.size(), 2u);
  EXPECT_FALSE(Seen[0].PanelEnabled);
  EXPECT_EQ(Seen[0].Enabled, std::vector<std::string>{"btnReadSRAM"});
  EXPECT_EQ(Seen[0].Caption, "&Stop");
  EXPECT_TRUE(Seen[0].Operating);
  // The stop click restored the window at once, inside the pump...
  EXPECT_TRUE(AfterStop.PanelEnabled);
  EXPECT_FALSE(AfterStop.Operating);
  EXPECT_EQ(AfterStop.Caption, "&Read SRAM");
  EXPECT_EQ(AfterStop.Enabled.size(), 6u);
  EXPECT_EQ(CodesAtStop, "D");
  // ...the loop ended at the next packet, and the closing steps ran again.
  EXPECT_EQ(PacketsSent, 2);
  EXPECT_EQ(Seen.size(), 2u);
  EXPECT_EQ(Rig.SentCodes(), "D");
  const TLook After = LookOf(Form(), Button);
  EXPECT_TRUE(After.PanelEnabled);
  EXPECT_FALSE(After.Operating);
  EXPECT_EQ(After.Caption, "&Read SRAM");
  EXPECT_EQ(After.Enabled.size(), 6u);   // all but Write and Read (empty queue, no card row)
}

struct TButtonCase {
  const char* Button;
  const char* Running;       // caption while the operation runs
  bool OwnEnabled;           // the pressed button while it runs
  const char* Restored;
  const char* Codes;         // sent by the closing steps
};

// Each handler through the one pattern, with its own captions and closing steps.
const TButtonCase ButtonCases[] = {
    {"btnWrite", "&Stop", true, "&Write", "PDA"},   // rescan, identify, select the page
    {"btnRead", "&Stop", true, "&Read", "D"},
    {"btnEraseChip", "&Format", false, "&Format", "PD"},   // cannot be stopped; rescans
    {"btnReadSRAM", "&Stop", true, "&Read SRAM", "D"},
    {"btnWriteSRAM", "&Stop", true, "&Write SRAM", "D"},
    {"btnReadAll", "&Stop", true, "&Read", "D"},
    {"btnWriteAll", "&Stop", true, "&Write", "D"},
    {"btnTestSRAM", "&Stop", true, "Test", "D"},   // the caption it had when clicked
};

TEST_F(Operation, EachButtonRunsThePatternWithItsCaptionsAndClosingSteps) {
  for (const TButtonCase& Case : ButtonCases) {
    SCOPED_TRACE(Case.Button);
    // Read needs a selected card row (a rescan clears the selection).
    Form().lvCardRom->SetSelected(0, true);
    Rig.SentCodes();
    TButton* Button = &Rig.Control<TButton>(Case.Button);
    ASSERT_NE(Button, nullptr);
    Button->SetEnabled(true);   // also the hidden ones, as their panels would
    TLook Running{};
    Form().SetOperationBody(Button, [&] { Running = LookOf(Form(), Button); });
    Button->Click();
    EXPECT_EQ(Running.Caption, Case.Running);
    EXPECT_FALSE(Running.PanelEnabled);
    EXPECT_EQ(Running.Enabled.size(), Case.OwnEnabled ? 1u : 0u);
    EXPECT_EQ(Button->Caption(), Case.Restored);
    EXPECT_TRUE(Form().pMain->Enabled());
    EXPECT_EQ(Rig.SentCodes(), Case.Codes);
  }
}

TEST_F(Operation, ReadWithoutASelectedCardRowDoesNothing) {
  bool Ran = false;
  Form().SetOperationBody(Form().btnRead, [&] { Ran = true; });
  Form().btnRead->SetEnabled(true);
  Form().btnRead->Click();
  EXPECT_FALSE(Ran);
  EXPECT_EQ(Rig.SentCodes(), "");
}

TEST_F(Operation, CloseDuringAnOperationAsksAndOnlyYesEndsIt) {
  TButton* Button = Form().btnReadSRAM;
  bool VisibleAfterNo = false, OperatingAfterNo = false;
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO, MB_RESULT_YES};
  Install(Button, 10, [&](int Packet) {
    if (Packet == 0 || Packet == 2) Rig.Binding.Post([this] { Form().Close(); });
    if (Packet == 1) {
      VisibleAfterNo = Form().Window().Visible();
      OperatingAfterNo = Form().State().Operating;
    }
  });
  Button->Click();
  EXPECT_TRUE(VisibleAfterNo);
  EXPECT_TRUE(OperatingAfterNo);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Rig.Dialogs.Messages[0].Text, "Now operting, cancel it?");
  EXPECT_EQ(Rig.Dialogs.Messages[0].Caption, "Flashquill (Ver:1.0.3)");
  EXPECT_EQ(Rig.Dialogs.Messages[0].Flags, 36);
  // Yes: the operation ended at its next packet, its closing steps ran, the window closed.
  EXPECT_EQ(PacketsSent, 3);
  EXPECT_FALSE(Form().Window().Visible());
  EXPECT_FALSE(Form().State().Operating);
  EXPECT_EQ(Button->Caption(), "&Read SRAM");
}

TEST_F(Operation, CloseWhileIdleAsksNothing) {
  EXPECT_TRUE(Form().Close());
  EXPECT_TRUE(Rig.Dialogs.Messages.empty());
}

TEST_F(Operation, DeviceChangesAreDroppedWhileOperatingAndReconnectWhenIdle) {
  TButton* Button = Form().btnReadSRAM;
  Install(Button, 3, [&](int Packet) {
    if (Packet == 0) {
      Rig.Cable.Unplug();   // arrives through the port's notifications
      Rig.Cable.Plug();
      Rig.Port.PollDeviceEvents();
      Form().WMDeviceChange(7, 0);
    }
  });
  const intptr_t Before = Form().Link().LinkHandle();
  Button->Click();
  // Not reopened and not remembered: the old handle is stale, so the closing
  // identification fails and shows the cable as gone.
  EXPECT_EQ(Form().Link().LinkHandle(), Before);
  EXPECT_EQ(Rig.SentCodes(), "");
  EXPECT_EQ(Rig.Panel(0), "Device Disconnected");
  EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);

  // Idle: only "the device tree changed" with no data reconnects, each time.
  Form().WMDeviceChange(7, 1);
  Form().WMDeviceChange(0x8000, 0);
  EXPECT_EQ(Rig.SentCodes(), "");
  Form().WMDeviceChange(7, 0);
  Form().WMDeviceChange(7, 0);
  EXPECT_EQ(Rig.SentCodes(), "DPDP");
  EXPECT_EQ(Rig.Panel(0), "Device Connected");

  // Unplugged while idle: the port reports it, the window shows it.
  Rig.Cable.Unplug();
  Rig.Port.PollDeviceEvents();
  EXPECT_EQ(Rig.Panel(0), "Device Disconnected");
  EXPECT_FALSE(Form().pMain->Enabled());
  EXPECT_FALSE(Form().imgConnect->Visible());
}

TEST_F(Operation, IdentificationDuringAnOperationLeavesTheControlsAsTheOperationSetThem) {
  TButton* Button = Form().btnReadSRAM;
  TLook AfterQueueChange{}, AfterCaptionDblClick{};
  Install(Button, 2, [&](int Packet) {
    if (Packet != 0) return;
    // A queued game (as a drop would add one) re-identifies the chip; with a
    // queue row, the list buttons would enable Write.
    Form().lvROMs->AddRow({"game.gb", "GAME", "256K", "32768"});
    AfterQueueChange = LookOf(Form(), Button);
    Rig.Binding.UserDblClick(*Form().AALabel1);
    AfterCaptionDblClick = LookOf(Form(), Button);
  });
  Button->Click();
  for (const TLook& Look : {AfterQueueChange, AfterCaptionDblClick}) {
    EXPECT_FALSE(Look.PanelEnabled);
    EXPECT_EQ(Look.Enabled, std::vector<std::string>{"btnReadSRAM"});
    EXPECT_EQ(Look.Caption, "&Stop");
  }
  EXPECT_EQ(Rig.SentCodes(), "DDD");   // queue change, caption, closing steps
  // Afterwards the queue row enables Write again.
  EXPECT_TRUE(Form().btnWrite->Enabled());
  EXPECT_EQ(Rig.Panel(0), "Device Connected");
}

}  // namespace
