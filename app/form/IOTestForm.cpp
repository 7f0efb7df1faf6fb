// SPDX-License-Identifier: GPL-3.0-or-later
// The port test window's behaviour: reading and writing the port image,
// the bit and group buttons, periodic reading, Esc.
#include "app/form/IOTestForm.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/form/PortBits.h"
#include "core/link/Link.h"
#include "core/support/NumberText.h"

namespace {
constexpr char EscapeKey = 27;
// Bits 6 and 7 of both P3 bytes stand for pins the port does not have; the
// image always carries them set.
constexpr uint8_t P3MissingPins = 0xC0;
}  // namespace

TIOTestForm::TIOTestForm(TBinding& Binding, TLink& Link, TFormWindow* Owner)
    : Timer1(Binding.CreateTimer()), FLink(Link), FWindow(Binding.CreateFormWindow("IOTestForm", Owner)) {
  FindControls();
  BindEvents();
}

TIOTestForm::~TIOTestForm() {
  Timer1->SetEnabled(false);
  Timer1->OnTimer = nullptr;
  Window().OnShow = nullptr;
  Window().OnKeyPress = nullptr;
}

void TIOTestForm::FindControls() {
  TFormWindow& W = *FWindow;
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port] = &W.Get<TEdit>(DirectionEditName(Port));
    FValueEdit[Port] = &W.Get<TEdit>(ValueEditName(Port));
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      FDirection[Port].push_back(&W.Get<TButton>(DirectionButtonName(Port, Row)));
      FValue[Port].push_back(&W.Get<TButton>(ValueButtonName(Port, Row)));
    }
    FGroup[Port] = &W.Get<TButton>(GroupButtonName(Port));
  }
  edP0IO = FDirectionEdit[0];
  edP1IO = FDirectionEdit[1];
  edP2IO = FDirectionEdit[2];
  edP3IO = FDirectionEdit[3];
  edP0 = FValueEdit[0];
  edP1 = FValueEdit[1];
  edP2 = FValueEdit[2];
  edP3 = FValueEdit[3];
  P0IO = FGroup[0];
  P1IO = FGroup[1];
  P2IO = FGroup[2];
  P3IO = FGroup[3];
  btnWrite = &W.Get<TButton>("btnWrite");
  btnRead = &W.Get<TButton>("btnRead");
  cbAuto = &W.Get<TCheckBox>("cbAuto");
  seAuto = &W.Get<TSpinEdit>("seAuto");
  Panel1 = &W.Get<TPanel>("Panel1");
}

void TIOTestForm::BindEvents() {
  Window().SetCaption("IO Test");
  Panel1->SetCaption(ControllerPartNumber);
  seAuto->SetValue(1000);
  btnWrite->SetCaption("Write");
  btnRead->SetCaption("Read");
  cbAuto->SetCaption("Auto read");
  cbAuto->SetChecked(false);
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port]->SetText("FF");
    FValueEdit[Port]->SetText("FF");
    FGroup[Port]->SetCaption(ArrowBoth);
    for (TButton* Button : FDirection[Port]) Button->SetCaption(Port < 2 ? ArrowRight : ArrowLeft);
    for (TButton* Button : FValue[Port]) {
      Button->SetCaption("1");
      Button->SetDown(false);
    }
  }
  // P3's directions are kept but not offered.
  edP3IO->SetVisible(false);
  P3IO->SetVisible(false);
  for (TButton* Button : FDirection[3]) Button->SetVisible(false);
  btnRead->OnClick = [this] { btnReadClick(); };
  btnWrite->OnClick = [this] { btnWriteClick(); };
  for (int Port = 0; Port < PortCount; ++Port) {
    for (TButton* Button : FDirection[Port]) Button->OnClick = [this, Button] { P07IOClick(Button); };
    for (TButton* Button : FValue[Port]) Button->OnClick = [this, Button] { P07Click(Button); };
  }
  P0IO->OnClick = [this] { P0IOClick(); };
  P1IO->OnClick = [this] { P1IOClick(); };
  P2IO->OnClick = [this] { P2IOClick(); };
  P3IO->OnClick = [this] { P3IOClick(); };
  cbAuto->OnClick = [this] { cbAutoClick(); };
  Timer1->OnTimer = [this] { Timer1Timer(); };
  Window().OnShow = [this] { FormShow(); };
  Window().OnKeyPress = [this](char Key) { FormKeyPress(Key); };
}

void TIOTestForm::FormShow() { btnReadClick(); }

void TIOTestForm::FormKeyPress(char Key) {
  if (Key == EscapeKey) Close();
}

void TIOTestForm::btnReadClick() {
  // No tick may come in the middle of an exchange; the end of the read
  // starts the timer again when periodic reading is on.
  Timer1->SetEnabled(false);
  uint8_t Image[8] = {};
  FLink.ReadPorts(Image);
  // What the buffer holds is shown even after a failed exchange: zeros, or
  // the part a short reply filled in.
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port]->SetText(HexByteText(Image[Port]));
    FValueEdit[Port]->SetText(HexByteText(Image[ValueOffset + Port]));
  }
  for (int Port = 0; Port < PortCount; ++Port) {
    const std::vector<TButton*>& Buttons = FDirection[Port];
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      if (Port < 2)
        ShowLeftArrow(*Buttons[Row], Image[Port], BitOfRow(Port, Row));
      else
        ShowRightArrow(*Buttons[Row], Image[Port], BitOfRow(Port, Row));
    }
  }
  for (int Port = 0; Port < PortCount; ++Port) FGroup[Port]->SetCaption(GroupCaption(Port, FDirectionEdit[Port]->Text()));
  for (int Port = 0; Port < PortCount; ++Port)
    for (int Row = 0; Row < PinCount[Port]; ++Row)
      ShowValueBit(*FValue[Port][Row], Image[ValueOffset + Port], BitOfRow(Port, Row));
  cbAutoClick();
}

void TIOTestForm::btnWriteClick() {
  Timer1->SetEnabled(false);
  // Unchecked texts: HexToInt takes anything (an empty edit is 0, "G" is
  // 0x17), and only the low eight bits of each go out.
  uint8_t Image[8];
  for (int Port = 0; Port < PortCount; ++Port) {
    Image[Port] = static_cast<uint8_t>(HexToInt(FDirectionEdit[Port]->Text()) & 0xFF);
    Image[ValueOffset + Port] = static_cast<uint8_t>(HexToInt(FValueEdit[Port]->Text()) & 0xFF);
  }
  FLink.WritePorts(Image);
  btnReadClick();
  cbAutoClick();
}

void TIOTestForm::ApplyButtons() {
  uint8_t Image[8] = {};
  for (int Port = 0; Port < PortCount; ++Port) {
    for (int Row = 0; Row < PinCount[Port]; ++Row) {
      const int Bit = BitOfRow(Port, Row);
      Image[Port] |= Port < 2 ? LeftArrowBit(*FDirection[Port][Row], Bit) : RightArrowBit(*FDirection[Port][Row], Bit);
      Image[ValueOffset + Port] |= ValueBit(*FValue[Port][Row], Bit);
    }
  }
  Image[3] |= P3MissingPins;
  Image[ValueOffset + 3] |= P3MissingPins;
  for (int Port = 0; Port < PortCount; ++Port) {
    FDirectionEdit[Port]->SetText(HexByteText(Image[Port]));
    FValueEdit[Port]->SetText(HexByteText(Image[ValueOffset + Port]));
  }
  // The write reads back at its end; one more read follows it.
  btnWriteClick();
  btnReadClick();
}

void TIOTestForm::P07IOClick(TButton* Sender) {
  Sender->SetCaption(Sender->Caption() == ArrowRight ? ArrowLeft : ArrowRight);
  ApplyButtons();
}

void TIOTestForm::P07Click(TButton* Sender) {
  // A click may already have moved the button; its caption decides instead.
  const bool WasOne = Sender->Caption() == "1";
  Sender->SetCaption(WasOne ? "0" : "1");
  Sender->SetDown(WasOne);
  ApplyButtons();
}

void TIOTestForm::GroupClick(int Port, const std::string& OnCaption, const std::string& OffCaption) {
  TButton* Group = FGroup[Port];
  Group->SetCaption(Group->Caption() == OnCaption ? OffCaption : OnCaption);
  for (TButton* Button : FDirection[Port]) Button->SetCaption(Group->Caption());
  ApplyButtons();
}

// P0 and P1 sit left of the controller, P2 and P3 right of it: "all set" is
// an arrow pointing at it from either side, so a first click on "<->" sets
// every direction bit of the port.
void TIOTestForm::P0IOClick() { GroupClick(0, ArrowRight, ArrowLeft); }
void TIOTestForm::P1IOClick() { GroupClick(1, ArrowRight, ArrowLeft); }
void TIOTestForm::P2IOClick() { GroupClick(2, ArrowLeft, ArrowRight); }
void TIOTestForm::P3IOClick() { GroupClick(3, ArrowLeft, ArrowRight); }

int TIOTestForm::AutoPeriod() const {
  // A text that is no whole number reads as 0, which gives no ticks.
  std::string Text = seAuto->Text();
  while (!Text.empty() && std::isspace(static_cast<unsigned char>(Text.back()))) Text.pop_back();
  size_t Start = 0;
  while (Start < Text.size() && std::isspace(static_cast<unsigned char>(Text[Start]))) ++Start;
  Text = Text.substr(Start);
  if (Text.empty()) return 0;
  char* End = nullptr;
  errno = 0;
  const long Period = std::strtol(Text.c_str(), &End, 10);
  if (*End != '\0' || errno != 0 || Period > INT_MAX || Period < INT_MIN) return 0;
  return static_cast<int>(Period);
}

void TIOTestForm::cbAutoClick() {
  Timer1->SetEnabled(false);
  if (!cbAuto->Checked()) return;
  const int Period = AutoPeriod();
  if (Period <= 0) return;
  Timer1->SetInterval(Period);
  Timer1->SetEnabled(true);
}

void TIOTestForm::Timer1Timer() { btnReadClick(); }
