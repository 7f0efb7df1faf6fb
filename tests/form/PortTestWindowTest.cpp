// SPDX-License-Identifier: GPL-3.0-or-later
// The port test window on the emulated cable: what a read shows, what the
// bit and group buttons and the edits send, periodic reading, and the
// window's opening by a right-Ctrl click and its closing by Esc.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "WindowRig.h"
#include "app/form/IOTestForm.h"

namespace {

using TImage = std::array<uint8_t, 8>;

class PortWindow : public ::testing::Test {
protected:
  TWindowRig Rig;
  std::unique_ptr<TIOTestForm> Window;

  void SetUp() override { ASSERT_TRUE(Rig.Start()); }
  void TearDown() override {
    if (Window) Window->Timer1->SetEnabled(false);
  }

  // Sets the cable's ports, then opens the window, which reads them.
  void Open(const TImage* Ports = nullptr) {
    if (Ports) Rig.Form->Link().WritePorts(Ports->data());
    Window = std::make_unique<TIOTestForm>(Rig.Binding, Rig.Form->Link(), &Rig.Form->FormWindow());
    Window->Window().Show();
    Rig.Cable.TakeLog();
  }
  TButton* Button(const char* Name) { return dynamic_cast<TButton*>(Window->FormWindow().Find(Name)); }
  std::string Text(const char* Name) {
    if (auto* Edit = dynamic_cast<TEdit*>(Window->FormWindow().Find(Name))) return Edit->Text();
    if (auto* Control = Button(Name)) return Control->Caption();
    return "(no " + std::string(Name) + ")";
  }
  TImage CablePorts() {
    TImage Ports;
    std::memcpy(Ports.data(), Rig.Cable.Ports(), 8);
    return Ports;
  }
  // The exchanges since the last call: '1' followed by its eight bytes, '2' for a read.
  std::string Exchanges(std::vector<TImage>* Sent = nullptr) {
    std::string Codes;
    for (const TTransfer& Transfer : Rig.Cable.TakeLog()) {
      if (Transfer.In || Transfer.Bytes.empty()) continue;
      Codes.push_back(static_cast<char>(Transfer.Bytes[0]));
      if (Sent && Transfer.Bytes[0] == '1' && Transfer.Bytes.size() == 9) {
        TImage Image;
        std::memcpy(Image.data(), &Transfer.Bytes[1], 8);
        Sent->push_back(Image);
      }
    }
    return Codes;
  }
};

TEST_F(PortWindow, FreshWindowLooksAsMadeBeforeItReads) {
  TIOTestForm Fresh(Rig.Binding, Rig.Form->Link(), &Rig.Form->FormWindow());
  EXPECT_EQ(Fresh.Window().Caption(), "IO Test");
  EXPECT_EQ(Fresh.Panel1->Caption(), "BW-U238");
  EXPECT_FALSE(Fresh.cbAuto->Checked());
  EXPECT_EQ(Fresh.seAuto->Text(), "1000");
  for (int Port = 0; Port < 4; ++Port) {
    EXPECT_EQ(Fresh.DirectionEdit(Port)->Text(), "FF");
    EXPECT_EQ(Fresh.ValueEdit(Port)->Text(), "FF");
    EXPECT_EQ(Fresh.GroupButton(Port)->Caption(), "<->");
    for (TButton* Bit : Fresh.DirectionButtons(Port)) EXPECT_EQ(Bit->Caption(), Port < 2 ? "->" : "<-");
    for (TButton* Bit : Fresh.ValueButtons(Port)) {
      EXPECT_EQ(Bit->Caption(), "1");
      EXPECT_FALSE(Bit->Down());
    }
  }
  // P3's direction controls exist but are not offered.
  EXPECT_FALSE(Fresh.edP3IO->Visible());
  EXPECT_FALSE(Fresh.P3IO->Visible());
  for (TButton* Bit : Fresh.DirectionButtons(3)) EXPECT_FALSE(Bit->Visible());
  // Named as the window names them, pin names from the top down.
  for (const char* Name : {"edP0IO", "edP3", "P07IO", "P00IO", "P35IO", "P30IO", "P07", "P30", "P0IO", "P3IO",
                           "btnWrite", "btnRead", "cbAuto", "seAuto", "Panel1"})
    EXPECT_NE(Fresh.FormWindow().Find(Name), nullptr) << Name;
  EXPECT_EQ(Fresh.DirectionButtons(0).front(), Fresh.FormWindow().Find("P07IO"));
  EXPECT_EQ(Fresh.ValueButtons(3).back(), Fresh.FormWindow().Find("P30"));
}

struct TShowCase {
  const char* Name;
  TImage Ports;
  std::vector<std::pair<const char*, const char*>> Shown;   // control, caption or text
};

const TShowCase ShowCases[] = {
    {"AllSet", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
     {{"P0IO", "->"}, {"P1IO", "->"}, {"P2IO", "<-"}, {"P3IO", "<-"}, {"P07IO", "->"}, {"P27IO", "<-"}}},
    // P3 has six pins: its byte is uniform as FF or C0 only.
    {"AllClear", {0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00},
     {{"P0IO", "<-"}, {"P1IO", "<-"}, {"P2IO", "->"}, {"P3IO", "->"}, {"P35IO", "->"}, {"P07", "0"}}},
    {"P3SixPinsSet", {0xC0, 0xC0, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x3F},
     {{"P0IO", "<->"}, {"P2IO", "<->"}, {"P3IO", "<->"}, {"P35IO", "<-"}, {"P30IO", "<-"}, {"P35", "1"}}},
    {"Mixed", {0xA5, 0x5A, 0x81, 0x25, 0x01, 0x80, 0xAB, 0x20},
     {{"edP0IO", "A5"}, {"edP1IO", "5A"}, {"edP2", "AB"}, {"edP3", "20"},
      {"P07IO", "->"}, {"P06IO", "<-"}, {"P00IO", "->"}, {"P17IO", "<-"}, {"P16IO", "->"},
      {"P27IO", "<-"}, {"P26IO", "->"}, {"P35IO", "<-"}, {"P34IO", "->"}, {"P30IO", "<-"},
      {"P00", "1"}, {"P01", "0"}, {"P17", "1"}, {"P10", "0"}, {"P35", "1"}, {"P34", "0"},
      {"P0IO", "<->"}, {"P1IO", "<->"}, {"P2IO", "<->"}, {"P3IO", "<->"}}},
};

class PortRead : public PortWindow, public ::testing::WithParamInterface<TShowCase> {};

TEST_P(PortRead, ShowsTheReplyOnEditsAndButtons) {
  const TShowCase& Case = GetParam();
  Open(&Case.Ports);
  for (const auto& [Name, Expected] : Case.Shown) EXPECT_EQ(Text(Name), Expected) << Name;
  // A value bit of 0 is shown with its button held down.
  for (int Port = 0; Port < 4; ++Port)
    for (TButton* Bit : Window->ValueButtons(Port)) EXPECT_EQ(Bit->Down(), Bit->Caption() == "0");
}

INSTANTIATE_TEST_SUITE_P(Window, PortRead, ::testing::ValuesIn(ShowCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(PortWindow, FailedLinkShowsTheZeroFilledBuffer) {
  Rig.Cable.Unplug();   // the open handle now fails every exchange
  Open();
  for (int Port = 0; Port < 4; ++Port) {
    EXPECT_EQ(Window->DirectionEdit(Port)->Text(), "00");
    EXPECT_EQ(Window->ValueEdit(Port)->Text(), "00");
    for (TButton* Bit : Window->DirectionButtons(Port)) EXPECT_EQ(Bit->Caption(), Port < 2 ? "<-" : "->");
    for (TButton* Bit : Window->ValueButtons(Port)) {
      EXPECT_EQ(Bit->Caption(), "0");
      EXPECT_TRUE(Bit->Down());
    }
  }
  EXPECT_EQ(Window->P0IO->Caption(), "<-");
  EXPECT_EQ(Window->P1IO->Caption(), "<-");
  EXPECT_EQ(Window->P2IO->Caption(), "->");
  EXPECT_EQ(Window->P3IO->Caption(), "<->");
  // Each failed exchange is reported in the main window's status bar.
  EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);
  Rig.Form->FrontEnd().SetStatusText(1, "");
  Window->btnWrite->Click();
  EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);
}

struct TClickCase {
  const char* Button;
  TImage Sent;
};

// From the ports below, one click each; P3's bytes always go out with bits 6
// and 7 set, whatever the cable reported.
const TImage ClickStart = {0x0F, 0x00, 0x3C, 0x00, 0x55, 0x00, 0xAA, 0x00};
const TClickCase ClickCases[] = {
    {"P00", {0x0F, 0x00, 0x3C, 0xC0, 0x54, 0x00, 0xAA, 0xC0}},    // value bit 1 -> 0
    {"P10", {0x0F, 0x00, 0x3C, 0xC0, 0x55, 0x01, 0xAA, 0xC0}},    // value bit 0 -> 1
    {"P35", {0x0F, 0x00, 0x3C, 0xC0, 0x55, 0x00, 0xAA, 0xE0}},
    {"P07IO", {0x8F, 0x00, 0x3C, 0xC0, 0x55, 0x00, 0xAA, 0xC0}},  // "<-" -> "->"
    {"P22IO", {0x0F, 0x00, 0x38, 0xC0, 0x55, 0x00, 0xAA, 0xC0}},  // "<-" -> "->" clears on the right
    {"P0IO", {0xFF, 0x00, 0x3C, 0xC0, 0x55, 0x00, 0xAA, 0xC0}},   // "<->": a first click sets all
    {"P1IO", {0x0F, 0xFF, 0x3C, 0xC0, 0x55, 0x00, 0xAA, 0xC0}},   // "<-" -> "->"
    {"P2IO", {0x0F, 0x00, 0xFF, 0xC0, 0x55, 0x00, 0xAA, 0xC0}},
    {"P3IO", {0x0F, 0x00, 0x3C, 0xFF, 0x55, 0x00, 0xAA, 0xC0}},   // "00" is mixed for P3: "<->" -> "<-"
};

class PortClick : public PortWindow, public ::testing::WithParamInterface<TClickCase> {};

TEST_P(PortClick, OneClickSendsTheButtonsImageThenReadsTwice) {
  const TClickCase& Case = GetParam();
  Open(&ClickStart);
  TButton* Clicked = Button(Case.Button);
  ASSERT_NE(Clicked, nullptr);
  Clicked->SetVisible(true);   // P3's direction group is hidden in the window
  Rig.Click(Clicked);
  std::vector<TImage> Sent;
  EXPECT_EQ(Exchanges(&Sent), "122");
  ASSERT_EQ(Sent.size(), 1u);
  EXPECT_EQ(Sent[0], Case.Sent);
  EXPECT_EQ(CablePorts(), Case.Sent);
  EXPECT_EQ(std::stoul(Window->edP3->Text(), nullptr, 16), Case.Sent[7]);
}

INSTANTIATE_TEST_SUITE_P(Window, PortClick, ::testing::ValuesIn(ClickCases),
                         [](const auto& Info) { return std::string(Info.param.Button); });

TEST_F(PortWindow, ValueButtonClickedTwiceComesBackUp) {
  Open(&ClickStart);
  TButton* Bit = Button("P00");
  Bit->Click();
  EXPECT_EQ(Bit->Caption(), "0");
  EXPECT_TRUE(Bit->Down());
  Bit->Click();
  EXPECT_EQ(Bit->Caption(), "1");
  EXPECT_FALSE(Bit->Down());
  EXPECT_EQ(CablePorts()[4], 0x55);
}

TEST_F(PortWindow, EditsAreSentUncheckedLowEightBitsOnly) {
  Open();
  const std::pair<TEdit*, const char*> Typed[] = {
      {Window->edP0IO, ""},     // empty: 0
      {Window->edP1IO, "G"},    // no hexadecimal digit, counted as its code - 48: 0x17
      {Window->edP2IO, "7h"},   // a final H marks hexadecimal
      {Window->edP3IO, "ZZ"},   // 42 * 16 + 42 = 714, of which 0xCA goes out
      {Window->edP0, "a5"},
      {Window->edP1, "00"},
      {Window->edP2, "1"},
      {Window->edP3, "3F"},
  };
  for (const auto& [Edit, Text] : Typed) Edit->SetText(Text);
  Window->btnWrite->Click();
  std::vector<TImage> Sent;
  EXPECT_EQ(Exchanges(&Sent), "12");
  ASSERT_EQ(Sent.size(), 1u);
  EXPECT_EQ(Sent[0], (TImage{0x00, 0x17, 0x07, 0xCA, 0xA5, 0x00, 0x01, 0x3F}));
  // The read that ends the write shows what the cable holds now.
  EXPECT_EQ(Window->edP1IO->Text(), "17");
  EXPECT_EQ(Window->edP0->Text(), "A5");
}

TEST_F(PortWindow, AutoReadReadsAgainAfterEachReadAndStopsAtOnce) {
  Open();
  auto& Timer = dynamic_cast<TMemoryTimer&>(*Window->Timer1);
  Window->seAuto->SetValue(250);
  Rig.Binding.UserToggle(*Window->cbAuto);
  EXPECT_TRUE(Timer.Enabled());
  EXPECT_EQ(Timer.Interval(), 250);
  // Each tick reads, and the read starts the timer again at its end.
  std::string Reads;
  for (int Tick = 0; Tick < 3; ++Tick) {
    Timer.Fire();
    Reads += Exchanges();
  }
  EXPECT_EQ(Reads, "222");
  EXPECT_TRUE(Timer.Enabled());
  Rig.Binding.UserToggle(*Window->cbAuto);
  EXPECT_FALSE(Timer.Enabled());

  // A write and a read end with the timer as the box says.
  Rig.Click(Window->btnRead);
  EXPECT_FALSE(Timer.Enabled());
  Window->cbAuto->SetChecked(true);
  Rig.Click(Window->btnWrite);
  EXPECT_TRUE(Timer.Enabled());
}

TEST_F(PortWindow, PeriodOfZeroOrNoNumberGivesNoTicks) {
  Open();
  Window->cbAuto->SetChecked(true);
  for (const char* Period : {"0", "-5", "", "12x"}) {
    SCOPED_TRACE(Period);
    dynamic_cast<TMemorySpinEdit&>(*Window->seAuto).SetText(Period);
    Rig.Click(Window->btnRead);
    EXPECT_FALSE(Window->Timer1->Enabled());
  }
}

// Opens the port window through a right-Ctrl click on the connection image
// and runs Inside while it is open; the click returns once it has closed.
// True when a window was opened.
bool OpenByClick(TWindowRig& Rig, const std::function<void(TMemoryFormWindow&)>& Inside) {
  bool Seen = false;
  Rig.Binding.UserRightControl(Rig.Form->Window(), true);
  Rig.Binding.OnModal = [&](TMemoryFormWindow& Port) {
    Seen = Port.FormName() == "IOTestForm";
    Inside(Port);
  };
  Rig.Click(Rig.Form->imgConnect);
  Rig.Binding.OnModal = nullptr;
  return Seen;
}

TEST_F(PortWindow, RightCtrlClickOpensAFreshModalWindowThatEscCloses) {
  for (int Opening = 0; Opening < 2; ++Opening) {
    SCOPED_TRACE(Opening);
    bool WasModal = false, AutoAtOpen = true, StillOpenAfterEsc = true;
    std::string ReadAtShow;
    Rig.Cable.TakeLog();
    const bool Opened = OpenByClick(Rig, [&](TMemoryFormWindow& Port) {
      WasModal = Port.MemoryWindow().Modal();
      ReadAtShow = Exchanges();
      auto& Auto = Port.Get<TCheckBox>("cbAuto");
      AutoAtOpen = Auto.Checked();
      Rig.Binding.UserToggle(Auto);   // not carried over to the next opening
      Rig.Binding.UserType(Port.Window(), "\x1b");
      StillOpenAfterEsc = Port.Window().Visible();
    });
    EXPECT_TRUE(Opened);
    EXPECT_TRUE(WasModal);
    EXPECT_EQ(ReadAtShow, "2");   // it reads the ports when shown
    EXPECT_FALSE(AutoAtOpen);
    EXPECT_FALSE(StillOpenAfterEsc);
    EXPECT_EQ(Rig.Binding.Windows.size(), 1u);   // destroyed once closed
    EXPECT_TRUE(Rig.Binding.Timers.size() == 1u);   // its timer too; the device poll stays
    // Esc in the port window leaves the main window open.
    EXPECT_TRUE(Rig.Form->Window().Visible());
  }
}

TEST_F(PortWindow, CtrlLetGoInsideThePortWindowCountsAsReleased) {
  OpenByClick(Rig, [&](TMemoryFormWindow& Port) {
    Rig.Binding.CtrlHeld = false;   // let go while the port window had the keys
    Port.Window().Close();
  });
  ASSERT_FALSE(Rig.Form->RightControlDown());
  int Opened = 0;
  Rig.Form->OnPortTestWindow = [&] { ++Opened; };
  Rig.Click(Rig.Form->imgConnect);
  EXPECT_EQ(Opened, 0);
  // Still held: it stays down.
  Rig.Form->OnPortTestWindow = nullptr;
  Rig.Binding.CtrlHeld = true;
  OpenByClick(Rig, [](TMemoryFormWindow& Port) { Port.Window().Close(); });
  EXPECT_TRUE(Rig.Form->RightControlDown());
}

}  // namespace
