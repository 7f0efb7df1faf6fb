// The port test window on the emulated cable: what a read shows, what the
// bit and group buttons and the edits send, periodic reading, and the
// window's opening by a right-Ctrl click and its closing by Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <array>
#include <cstring>

#include "WindowRig.h"
#include "app/porttest/IOTestForm.h"
#include "app/support/ClickImage.h"
#include "app/support/Panel.h"

namespace {

using TImage = std::array<uint8_t, 8>;

class PortWindow : public ::testing::Test {
protected:
  TWindowRig Rig;
  std::unique_ptr<TIOTestForm> Window;

  void SetUp() override { ASSERT_TRUE(Rig.Start()); }
  void TearDown() override {
    if (Window) Window->Timer1->stop();
  }

  // Sets the cable's ports, then opens the window, which reads them.
  void Open(const TImage* Ports = nullptr) {
    if (Ports) Rig.Form->Link().WritePorts(Ports->data());
    Window = std::make_unique<TIOTestForm>(Rig.Form->Link(), Rig.Form.get());
    Window->show();
    Rig.Cable.TakeLog();
  }
  QToolButton* Button(const char* Name) { return Window->findChild<QToolButton*>(QString::fromLatin1(Name)); }
  std::string Text(const char* Name) {
    if (auto* Edit = Window->findChild<QLineEdit*>(QString::fromLatin1(Name))) return Edit->text().toStdString();
    if (auto* Control = Button(Name)) return Control->text().toStdString();
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
  TIOTestForm Fresh(Rig.Form->Link(), Rig.Form.get());
  EXPECT_EQ(Fresh.windowTitle(), "IO Test");
  EXPECT_EQ(Fresh.size(), QSize(308, 387));
  EXPECT_EQ(Fresh.minimumSize(), Fresh.maximumSize());
  EXPECT_EQ(Fresh.Panel1->geometry(), QRect(96, 88, 113, 289));
  EXPECT_FALSE(Fresh.Panel1->text().isEmpty());
  EXPECT_FALSE(Fresh.cbAuto->isChecked());
  EXPECT_EQ(Fresh.seAuto->value(), 1000);
  for (int Port = 0; Port < 4; ++Port) {
    EXPECT_EQ(Fresh.DirectionEdit(Port)->text(), "FF");
    EXPECT_EQ(Fresh.ValueEdit(Port)->text(), "FF");
    EXPECT_EQ(Fresh.DirectionEdit(Port)->maxLength(), 2);
    EXPECT_EQ(Fresh.GroupButton(Port)->text(), "<->");
    for (QToolButton* Bit : Fresh.DirectionButtons(Port)) EXPECT_EQ(Bit->text(), Port < 2 ? "->" : "<-");
    for (QToolButton* Bit : Fresh.ValueButtons(Port)) {
      EXPECT_EQ(Bit->text(), "1");
      EXPECT_FALSE(Bit->isChecked());
    }
  }
  // P3's direction controls exist but are not offered; its pin names are.
  EXPECT_TRUE(Fresh.edP3IO->isHidden());
  EXPECT_TRUE(Fresh.P3IO->isHidden());
  for (QToolButton* Bit : Fresh.DirectionButtons(3)) EXPECT_TRUE(Bit->isHidden());
  // Named as the window names them, pin names from the top down.
  for (const char* Name : {"edP0IO", "edP3", "P07IO", "P00IO", "P35IO", "P30IO", "P07", "P30", "P0IO", "P3IO",
                           "btnWrite", "btnRead", "cbAuto", "seAuto", "Panel1", "Label1", "Label38"})
    EXPECT_NE(Fresh.findChild<QObject*>(QString::fromLatin1(Name)), nullptr) << Name;
  const auto* Label25 = Fresh.findChild<QLabel*>(QStringLiteral("Label25"));
  ASSERT_NE(Label25, nullptr);
  EXPECT_EQ(Label25->text(), "P3.5");
  EXPECT_FALSE(Label25->isHidden());
  // Every control lies inside the window, the pins level with their value buttons.
  for (QWidget* Control : Fresh.findChildren<QWidget*>())
    if (Control->parentWidget() == &Fresh) {
      EXPECT_TRUE(Fresh.rect().contains(Control->geometry())) << Control->objectName().toStdString();
    }
  EXPECT_EQ(Fresh.findChild<QToolButton*>("P00IO")->geometry().top(),
            Fresh.findChild<QToolButton*>("P00")->geometry().top() + Fresh.Panel1->geometry().top());
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
    for (QToolButton* Bit : Window->ValueButtons(Port)) EXPECT_EQ(Bit->isChecked(), Bit->text() == "0");
}

INSTANTIATE_TEST_SUITE_P(Window, PortRead, ::testing::ValuesIn(ShowCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(PortWindow, FailedLinkShowsTheZeroFilledBuffer) {
  Rig.Cable.Unplug();   // the open handle now fails every exchange
  Open();
  for (int Port = 0; Port < 4; ++Port) {
    EXPECT_EQ(Window->DirectionEdit(Port)->text(), "00");
    EXPECT_EQ(Window->ValueEdit(Port)->text(), "00");
    for (QToolButton* Bit : Window->DirectionButtons(Port)) EXPECT_EQ(Bit->text(), Port < 2 ? "<-" : "->");
    for (QToolButton* Bit : Window->ValueButtons(Port)) {
      EXPECT_EQ(Bit->text(), "0");
      EXPECT_TRUE(Bit->isChecked());
    }
  }
  EXPECT_EQ(Window->P0IO->text(), "<-");
  EXPECT_EQ(Window->P1IO->text(), "<-");
  EXPECT_EQ(Window->P2IO->text(), "->");
  EXPECT_EQ(Window->P3IO->text(), "<->");
  // Each failed exchange is reported in the main window's status bar.
  EXPECT_EQ(Rig.Panel(1).rfind("Error Code: ", 0), 0u);
  Rig.Form->FrontEnd().SetStatusText(1, "");
  Window->btnWrite->click();
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
  QToolButton* Clicked = Button(Case.Button);
  ASSERT_NE(Clicked, nullptr);
  Clicked->setVisible(true);   // P3's direction group is hidden in the window
  Clicked->click();
  std::vector<TImage> Sent;
  EXPECT_EQ(Exchanges(&Sent), "122");
  ASSERT_EQ(Sent.size(), 1u);
  EXPECT_EQ(Sent[0], Case.Sent);
  EXPECT_EQ(CablePorts(), Case.Sent);
  EXPECT_EQ(Window->edP3->text().toUInt(nullptr, 16), Case.Sent[7]);
}

INSTANTIATE_TEST_SUITE_P(Window, PortClick, ::testing::ValuesIn(ClickCases),
                         [](const auto& Info) { return std::string(Info.param.Button); });

TEST_F(PortWindow, ValueButtonClickedTwiceComesBackUp) {
  Open(&ClickStart);
  QToolButton* Bit = Button("P00");
  Bit->click();
  EXPECT_EQ(Bit->text(), "0");
  EXPECT_TRUE(Bit->isChecked());
  Bit->click();
  EXPECT_EQ(Bit->text(), "1");
  EXPECT_FALSE(Bit->isChecked());
  EXPECT_EQ(CablePorts()[4], 0x55);
}

TEST_F(PortWindow, EditsAreSentUncheckedLowEightBitsOnly) {
  Open();
  const std::pair<QLineEdit*, const char*> Typed[] = {
      {Window->edP0IO, ""},     // empty: 0
      {Window->edP1IO, "G"},    // no hexadecimal digit, counted as its code - 48: 0x17
      {Window->edP2IO, "7h"},   // a final H marks hexadecimal
      {Window->edP3IO, "ZZ"},   // 42 * 16 + 42 = 714, of which 0xCA goes out
      {Window->edP0, "a5"},
      {Window->edP1, "00"},
      {Window->edP2, "1"},
      {Window->edP3, "3F"},
  };
  for (const auto& [Edit, Text] : Typed) Edit->setText(QString::fromLatin1(Text));
  Window->btnWrite->click();
  std::vector<TImage> Sent;
  EXPECT_EQ(Exchanges(&Sent), "12");
  ASSERT_EQ(Sent.size(), 1u);
  EXPECT_EQ(Sent[0], (TImage{0x00, 0x17, 0x07, 0xCA, 0xA5, 0x00, 0x01, 0x3F}));
  // The read that ends the write shows what the cable holds now.
  EXPECT_EQ(Window->edP1IO->text(), "17");
  EXPECT_EQ(Window->edP0->text(), "A5");
}

TEST_F(PortWindow, AutoReadReadsAgainAfterEachReadAndStopsAtOnce) {
  Open();
  Window->seAuto->setValue(250);
  Window->cbAuto->setChecked(true);
  EXPECT_TRUE(Window->Timer1->isActive());
  EXPECT_EQ(Window->Timer1->interval(), 250);
  // Each tick reads, and the read starts the timer again at its end.
  std::string Reads;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        Reads += Exchanges();
        return Reads.size() >= 3;
      },
      10000));
  EXPECT_EQ(Reads, std::string(Reads.size(), '2'));
  EXPECT_TRUE(Window->Timer1->isActive());
  Window->cbAuto->setChecked(false);
  EXPECT_FALSE(Window->Timer1->isActive());

  // A write and a read end with the timer as the box says.
  Window->btnRead->click();
  EXPECT_FALSE(Window->Timer1->isActive());
  Window->cbAuto->setChecked(true);
  Window->btnWrite->click();
  EXPECT_TRUE(Window->Timer1->isActive());
}

TEST_F(PortWindow, PeriodOfZeroOrNoNumberGivesNoTicks) {
  Open();
  Window->cbAuto->setChecked(true);
  for (const char* Period : {"0", "-5", ""}) {
    SCOPED_TRACE(Period);
    Window->seAuto->findChild<QLineEdit*>()->setText(QString::fromLatin1(Period));
    Window->btnRead->click();
    EXPECT_FALSE(Window->Timer1->isActive());
  }
}

// Opens the port window through a right-Ctrl click on the connection image
// and runs Inside while it is open; the click returns once it has closed.
QPointer<TIOTestForm> OpenByClick(TWindowRig& Rig, const std::function<void(TIOTestForm&)>& Inside) {
  QPointer<TIOTestForm> Seen;
  QKeyEvent Press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0xffe4, 0);
  QApplication::sendEvent(Rig.Form->lvCardRom, &Press);
  QTimer::singleShot(0, [&] {
    Seen = qobject_cast<TIOTestForm*>(QApplication::activeModalWidget());
    if (!Seen) return;
    Inside(*Seen);
    // Should Inside not have closed it, the test still ends.
    if (Seen && Seen->isVisible()) Seen->close();
  });
  QTest::mouseClick(Rig.Form->imgConnect, Qt::LeftButton, Qt::ControlModifier);
  return Seen;
}

TEST_F(PortWindow, RightCtrlClickOpensAFreshModalWindowThatEscCloses) {
  for (const char* Focus : {"edP0", "seAuto", "btnRead", "cbAuto"}) {
    SCOPED_TRACE(Focus);
    bool WasModal = false, AutoAtOpen = true, StillOpenAfterEsc = true;
    QWidget* Parent = nullptr;
    QPointer<TIOTestForm> Opened = OpenByClick(Rig, [&](TIOTestForm& Port) {
      WasModal = Port.isModal();
      Parent = Port.parentWidget();
      AutoAtOpen = Port.cbAuto->isChecked();
      Port.cbAuto->setChecked(true);   // not carried over to the next opening
      QWidget* Target = Port.findChild<QWidget*>(QString::fromLatin1(Focus));
      if (auto* Spin = qobject_cast<QSpinBox*>(Target)) Target = Spin->findChild<QLineEdit*>();
      QTest::keyClick(Target, Qt::Key_Escape);
      StillOpenAfterEsc = Port.isVisible();
    });
    EXPECT_TRUE(WasModal);
    EXPECT_EQ(Parent, Rig.Form.get());
    EXPECT_FALSE(AutoAtOpen);
    EXPECT_FALSE(StillOpenAfterEsc);
    EXPECT_TRUE(Opened.isNull());   // destroyed once closed
    // Esc in the port window leaves the main window open.
    EXPECT_TRUE(Rig.Form->isVisible());
  }
}

TEST_F(PortWindow, CtrlLetGoInsideThePortWindowCountsAsReleased) {
  OpenByClick(Rig, [](TIOTestForm& Port) {
    QTest::keyRelease(&Port, Qt::Key_Control);
    Port.close();
  });
  ASSERT_FALSE(Rig.Form->RightControlDown());
  int Opened = 0;
  Rig.Form->OnPortTestWindow = [&] { ++Opened; };
  QTest::mouseClick(Rig.Form->imgConnect, Qt::LeftButton);
  EXPECT_EQ(Opened, 0);
}

}  // namespace
