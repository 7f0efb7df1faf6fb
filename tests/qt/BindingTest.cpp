// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt binding: the widgets the form finds are made, named and placed as
// the window needs them; Qt's input reaches the form's handlers (and a
// greyed-out control takes none); the pump; the port test window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <chrono>
#include <fstream>
#include <functional>

#include "QtRig.h"
#include "app/form/FormControls.h"
#include "app/form/IOTestForm.h"
#include "core/queue/HeaderCheck.h"

namespace {

TEST(QtLayout, FixedSizeControlsNamedAndPlacedAsTheWindowNeedsThem) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  QWidget& Form = Rig.Window();
  EXPECT_EQ(Form.objectName(), "MainForm");
  EXPECT_EQ(Form.size(), QSize(504, 449));
  EXPECT_EQ(Form.minimumSize(), Form.maximumSize());
  EXPECT_FALSE(Form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(Form.windowFlags() & Qt::WindowMinimizeButtonHint);

  // Every control of the form's table, under its name.
  for (const TControlInfo& Control : MainFormControls()) {
    EXPECT_NE(Rig.Form->FormWindow().Find(Control.Name), nullptr) << Control.Name;
    EXPECT_NE(Form.findChild<QObject*>(QString::fromStdString(Control.Name)), nullptr) << Control.Name;
  }
  // The operation buttons lie over pMain but belong to the window, so that
  // greying out pMain leaves the pressed one usable.
  for (const char* Name : {"btnWrite", "btnRead", "btnEraseChip", "btnWriteAll", "btnReadAll", "btnReadSRAM",
                           "btnWriteSRAM", "btnTestSRAM"})
    EXPECT_EQ(Rig.Widget(Name)->parentWidget(), &Form) << Name;
  EXPECT_TRUE(Rig.Widget("gbAdvance")->isHidden());
  EXPECT_TRUE(Rig.Widget("gbTest")->isHidden());
  EXPECT_TRUE(Rig.Widget("btnRefresh")->isHidden());
  EXPECT_EQ(Rig.Widget<QComboBox>("cbSize")->currentIndex(), 8);
  EXPECT_EQ(Rig.Widget<QPushButton>("btnAdd")->text(), "&Add");
  EXPECT_EQ(Rig.Widget("lvROMs")->geometry(), QRect(10, 48, 472, 110));
  // The status panels: 110 pixels (more if the font needs it to show the
  // state whole), then the rest of the bar.
  auto* Panel0 = Rig.Widget<QLabel>("StatusPanel0");
  auto* Panel1 = Rig.Widget<QLabel>("StatusPanel1");
  ASSERT_NE(Panel0, nullptr);
  ASSERT_NE(Panel1, nullptr);
  EXPECT_GE(Panel0->width(), 110);
  EXPECT_GE(Panel0->contentsRect().width(), Panel0->fontMetrics().horizontalAdvance("Device Disconnected"));
  EXPECT_GT(Panel1->width(), 300);
  EXPECT_EQ(Panel0->text(), "Device Connected");
}

TEST(QtLayout, GreyedOutPanelShowsItsEditLikeControlsOnTheButtonFace) {
  TQtRig Rig;
  Rig.Cable.Unplug();
  ASSERT_TRUE(Rig.Start());
  const QPalette System = QApplication::palette();
  auto Background = [](QWidget* Control) { return Control->palette().color(QPalette::Base); };
  for (const char* Name : {"lvROMs", "lvCardRom", "cbPart"}) {
    QWidget* Control = Rig.Widget(Name);
    EXPECT_FALSE(Control->isEnabled()) << Name;
    EXPECT_EQ(Background(Control), System.color(QPalette::Button)) << Name;
  }
  EXPECT_FALSE(Rig.Widget("Label2")->isEnabled());
  Rig.Cable.Plug();
  Rig.Port.PollDeviceEvents();
  ASSERT_EQ(Rig.Panel(0), "Device Connected");
  for (const char* Name : {"lvROMs", "cbPart"}) {
    QWidget* Control = Rig.Widget(Name);
    EXPECT_TRUE(Control->isEnabled()) << Name;
    EXPECT_EQ(Background(Control), System.color(QPalette::Base)) << Name;
  }
}

TEST(QtEvents, KeysTypedAnywhereInTheWindowCountOnce) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  for (QWidget* Target : {&Rig.Window(), Rig.Widget("btnReadSRAM")}) {
    SCOPED_TRACE(Target->objectName().toStdString());
    Form.gbAdvanceDblClick();
    Form.KeySeqIndex = 1;
    // A letter the button does not take is handed on to its parents: still
    // one key typed.
    QTest::keyClicks(Target, QStringLiteral("kvq"));
    EXPECT_FALSE(Rig.Widget("gbAdvance")->isHidden());
    EXPECT_FALSE(Rig.Widget("btnReadAll")->isHidden());
  }
}

TEST(QtEvents, KeysTypedIntoTheTestBoxFillItAndOpenThePanel) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start({"/rom"}));
  auto* Edit = Rig.Widget<QLineEdit>("edTestSRAM");
  QTest::keyClicks(Edit, QStringLiteral("kvq"));
  EXPECT_EQ(Edit->text(), "kvq");
  EXPECT_TRUE(Rig.Widget("gbAdvance")->isVisible());
}

TEST(QtEvents, EscClosesThroughTheCloseQuery) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  Rig.Dialogs.MessageAnswers = {MB_RESULT_NO};
  bool VisibleAfterNo = false;
  Rig.Form->SetOperationBody(Rig.Form->btnReadSRAM, [&] {
    Rig.Form->State().Operating = true;
    QTest::keyClick(Rig.Widget("lvCardRom"), Qt::Key_Escape);
    VisibleAfterNo = Rig.Window().isVisible();
    Rig.Form->State().Operating = false;
  });
  QTest::mouseClick(Rig.Widget("btnReadSRAM"), Qt::LeftButton);
  EXPECT_TRUE(VisibleAfterNo);
  ASSERT_EQ(Rig.Dialogs.Messages.size(), 1u);
  QTest::keyClick(Rig.Widget("lvCardRom"), Qt::Key_Escape);
  EXPECT_FALSE(Rig.Window().isVisible());
  EXPECT_EQ(Rig.Dialogs.Messages.size(), 1u);
}

struct TControlCase {
  const char* Name;
  quint32 ScanCode, KeySym;
  bool Release;   // let go before the click
  bool Opens;
};

// Right Ctrl is told from left Ctrl by the platform's key numbers.
const TControlCase ControlCases[] = {
    {"RightHeld", 105, 0xffe4, false, true},
    {"LeftHeld", 37, 0xffe3, false, false},
    {"RightReleased", 105, 0xffe4, true, false},
};

TEST(QtEvents, ConnectionImageOpensThePortWindowOnlyWithRightCtrl) {
  for (const TControlCase& Case : ControlCases) {
    SCOPED_TRACE(Case.Name);
    TQtRig Rig;
    ASSERT_TRUE(Rig.Start());
    int Opened = 0;
    Rig.Form->OnPortTestWindow = [&] { ++Opened; };
    QKeyEvent Press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, Case.ScanCode, Case.KeySym, 0);
    QApplication::sendEvent(Rig.Widget("lvCardRom"), &Press);
    if (Case.Release) {
      QKeyEvent Release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, Case.ScanCode, Case.KeySym, 0);
      QApplication::sendEvent(Rig.Widget("lvCardRom"), &Release);
    }
    ASSERT_TRUE(Rig.Widget("imgConnect")->isVisible());
    QTest::mouseClick(Rig.Widget("imgConnect"), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Opened, Case.Opens ? 1 : 0);
  }
}

TEST(QtEvents, ClicksAndDoubleClicksReachTheirHandlers) {
  TQtRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  int Reads = 0;
  Form.SetOperationBody(Form.btnRead, [&] { ++Reads; });
  // A double-click on a card row selects it and reads it.
  auto* Cards = Rig.Widget<QTreeWidget>("lvCardRom");
  const QRect Cell = Cards->visualItemRect(Cards->topLevelItem(0));
  QTest::mouseClick(Cards->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
  EXPECT_TRUE(Form.btnRead->Enabled());   // a selected row and a link
  QTest::mouseDClick(Cards->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
  TQtRig::Settle();
  EXPECT_EQ(Reads, 1);
  // A double-click on the caption identifies the chip.
  Rig.SentCodes();
  QTest::mouseDClick(Rig.Widget("AALabel1"), Qt::LeftButton);
  EXPECT_EQ(Rig.SentCodes(), "D");
  // A double-click on the empty queue asks for games.
  QTest::mouseDClick(Rig.Widget<QTreeWidget>("lvROMs")->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
  TQtRig::Settle();
  EXPECT_EQ(Rig.Dialogs.Filters.size(), 1u);
  // A double-click on the advanced panel hides it again.
  Form.ShowAdvancePanel();
  QTest::mouseDClick(Rig.Widget("gbAdvance"), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
  EXPECT_TRUE(Rig.Widget("gbAdvance")->isHidden());
  EXPECT_TRUE(Rig.Widget("btnReadAll")->isHidden());
  // The page choice lists the other page.
  Rig.Widget<QComboBox>("cbPart")->setCurrentIndex(1);
  EXPECT_EQ(Form.State().PageBase, 0x400000u);
}

// The verify switch is a checkable item of the queue's popup menu, checked
// at the start; picking it turns the verify off and on again.
TEST(QtEvents, VerifySwitchIsACheckableItemOfTheQueuesMenu) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  auto* Menu = Rig.Widget<QMenu>("PopupMenu1");
  ASSERT_NE(Menu, nullptr);
  QAction* Verify = Menu->findChild<QAction*>(QStringLiteral("Verify1"));
  ASSERT_NE(Verify, nullptr);
  EXPECT_TRUE(Menu->actions().contains(Verify));
  EXPECT_TRUE(Verify->isCheckable());
  EXPECT_TRUE(Verify->isChecked());
  EXPECT_EQ(Verify->text(), "&Verify after writing");
  Verify->trigger();
  EXPECT_FALSE(Rig.Form->VerifyWrites());
  Verify->trigger();
  EXPECT_TRUE(Rig.Form->VerifyWrites());
}

TEST(QtEvents, DroppedFilesJoinTheQueue) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  QTemporaryDir Folder;
  const std::string Game = Folder.filePath("drop.gb").toStdString();
  std::vector<char> Bytes(0x8000, 0);
  // A header that passes the queue's checks, so no question comes first.
  std::memcpy(&Bytes[HeaderLogoOffset], HeaderLogo, HeaderLogoSize);
  std::memcpy(&Bytes[0x134], "DROPPED", 7);
  Bytes[HeaderChecksumOffset] = char(HeaderChecksum(reinterpret_cast<const uint8_t*>(Bytes.data())));
  std::ofstream(Game, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
  QMimeData Data;
  Data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Game))});
  QDragEnterEvent Enter(QPoint(50, 50), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Rig.Window(), &Enter);
  ASSERT_TRUE(Enter.isAccepted());
  QDropEvent Drop(QPointF(50, 50), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Rig.Window(), &Drop);
  auto* Queue = Rig.Widget<QTreeWidget>("lvROMs");
  ASSERT_EQ(Queue->topLevelItemCount(), 1);
  EXPECT_EQ(Queue->topLevelItem(0)->text(1), "DROPPED");
  EXPECT_EQ(Queue->topLevelItem(0)->text(2), "256K");
}

// The pump: what the card work shows is painted at the next pump, and a
// click always gets through, however fast the pumps come.
class QtPump : public ::testing::Test {
protected:
  TQtRig Rig;
  void SetUp() override { ASSERT_TRUE(Rig.Start()); }
  TWindowFrontEnd& FrontEnd() { return Rig.Form->FrontEnd(); }
  void PostEvent() {
    QMetaObject::invokeMethod(&Rig.Window(), [this] { ++Delivered; }, Qt::QueuedConnection);
  }
  int Delivered = 0;
};

TEST_F(QtPump, WhatTheWorkShowsIsDeliveredAtTheVeryNextPump) {
  FrontEnd().SetDispatchInterval(std::chrono::hours(1));
  FrontEnd().SetStatusText(0, "Device Connected");
  FrontEnd().PumpMessages();
  Delivered = 0;
  PostEvent();
  FrontEnd().SetProgress(42);
  FrontEnd().PumpMessages();
  EXPECT_EQ(Delivered, 1);
  EXPECT_EQ(Rig.Widget<QWidget>("ProgressBar")->property("value").toInt(), 42);
}

TEST_F(QtPump, AnEventGetsThroughBackToBackPumpsWithNothingNewToShow) {
  FrontEnd().SetDispatchInterval(TWindowFrontEnd::DefaultDispatchInterval);
  FrontEnd().SetStatusText(1, "");
  FrontEnd().PumpMessages();
  Delivered = 0;
  PostEvent();
  const auto GiveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Delivered == 0 && std::chrono::steady_clock::now() < GiveUp) FrontEnd().PumpMessages();
  EXPECT_EQ(Delivered, 1);
}

// Opens the port window through a right-Ctrl click on the connection image
// and runs Inside while it is open; the click returns once it has closed.
QPointer<QDialog> OpenByClick(TQtRig& Rig, const std::function<void(QDialog&)>& Inside) {
  QPointer<QDialog> Seen;
  QKeyEvent Press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0xffe4, 0);
  QApplication::sendEvent(Rig.Widget("lvCardRom"), &Press);
  QTimer::singleShot(0, [&] {
    Seen = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!Seen) return;
    Inside(*Seen);
    // Should Inside not have closed it, the test still ends.
    if (Seen && Seen->isVisible()) Seen->close();
  });
  QTest::mouseClick(Rig.Widget("imgConnect"), Qt::LeftButton, Qt::ControlModifier);
  return Seen;
}

TEST(QtPortWindow, RightCtrlClickOpensAFreshModalWindowThatEscCloses) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  for (const char* Focus : {"edP0", "seAuto", "btnRead", "cbAuto"}) {
    SCOPED_TRACE(Focus);
    bool WasModal = false, AutoAtOpen = true, StillOpenAfterEsc = true;
    QWidget* Parent = nullptr;
    std::string Controller;
    QPointer<QDialog> Opened = OpenByClick(Rig, [&](QDialog& Port) {
      WasModal = Port.isModal();
      Parent = Port.parentWidget();
      auto* Auto = Port.findChild<QCheckBox*>(QStringLiteral("cbAuto"));
      AutoAtOpen = Auto->isChecked();
      Auto->setChecked(true);   // not carried over to the next opening
      Controller = Port.findChild<QWidget*>(QStringLiteral("Panel1"))->property("text").toString().toStdString();
      QWidget* Target = Port.findChild<QWidget*>(QString::fromLatin1(Focus));
      if (auto* Spin = qobject_cast<QSpinBox*>(Target)) Target = Spin->findChild<QLineEdit*>();
      QTest::keyClick(Target, Qt::Key_Escape);
      StillOpenAfterEsc = Port.isVisible();
    });
    EXPECT_TRUE(WasModal);
    EXPECT_EQ(Parent, &Rig.Window());
    EXPECT_FALSE(AutoAtOpen);
    EXPECT_FALSE(StillOpenAfterEsc);
    EXPECT_TRUE(Opened.isNull());   // destroyed once closed
    // Esc in the port window leaves the main window open.
    EXPECT_TRUE(Rig.Window().isVisible());
  }
}

TEST(QtPortWindow, CtrlLetGoInsideThePortWindowCountsAsReleased) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  OpenByClick(Rig, [](QDialog& Port) {
    QTest::keyRelease(&Port, Qt::Key_Control);
    Port.close();
  });
  ASSERT_FALSE(Rig.Form->RightControlDown());
  int Opened = 0;
  Rig.Form->OnPortTestWindow = [&] { ++Opened; };
  QTest::mouseClick(Rig.Widget("imgConnect"), Qt::LeftButton);
  EXPECT_EQ(Opened, 0);
}

TEST(QtPortWindow, LooksAsMade) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start());
  TIOTestForm Fresh(Rig.Binding, Rig.Form->Link(), &Rig.Form->FormWindow());
  auto& Window = dynamic_cast<QDialog&>(Fresh.FormWindow());
  EXPECT_EQ(Window.windowTitle(), "IO Test");
  EXPECT_EQ(Window.size(), QSize(308, 387));
  EXPECT_EQ(Window.minimumSize(), Window.maximumSize());
  EXPECT_EQ(Window.findChild<QWidget*>("Panel1")->geometry(), QRect(96, 88, 113, 289));
  EXPECT_EQ(Window.findChild<QLineEdit*>("edP0IO")->maxLength(), 2);
  for (const TControlInfo& Control : IOTestFormControls())
    EXPECT_NE(Window.findChild<QObject*>(QString::fromStdString(Control.Name)), nullptr) << Control.Name;
  for (const char* Name : {"Label1", "Label38"})
    EXPECT_NE(Window.findChild<QObject*>(QString::fromLatin1(Name)), nullptr) << Name;
  const auto* Label25 = Window.findChild<QLabel*>(QStringLiteral("Label25"));
  ASSERT_NE(Label25, nullptr);
  EXPECT_EQ(Label25->text(), "P3.5");
  EXPECT_FALSE(Label25->isHidden());
  // Every control lies inside the window, the pins level with their value buttons.
  for (QWidget* Control : Window.findChildren<QWidget*>())
    if (Control->parentWidget() == &Window) {
      EXPECT_TRUE(Window.rect().contains(Control->geometry())) << Control->objectName().toStdString();
    }
  EXPECT_EQ(Window.findChild<QWidget*>("P00IO")->geometry().top(),
            Window.findChild<QWidget*>("P00")->geometry().top() + Window.findChild<QWidget*>("Panel1")->geometry().top());
  // A value button's click reaches the form, which sends the new image.
  Rig.Cable.TakeLog();
  QTest::mouseClick(Window.findChild<QWidget*>("P00"), Qt::LeftButton);
  EXPECT_EQ(Fresh.ValueButtons(0).back()->Caption(), "0");
  EXPECT_TRUE(Fresh.ValueButtons(0).back()->Down());
}

// A greyed-out control takes no input: no double-click on a disabled list
// reaches the form, and the advanced box hides only on a double-click on
// the box itself, not on a label inside it.
TEST(QtEvents, GreyedOutControlsAndLabelsInsideTheBoxTakeNoDoubleClick) {
  TQtRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  Rig.Card.SetChipId(0x1789);   // a chip the program does not know: the window stays greyed out
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  int Reads = 0;
  Form.SetOperationBody(Form.btnRead, [&] { ++Reads; });
  auto* Cards = Rig.Widget<QTreeWidget>("lvCardRom");
  ASSERT_FALSE(Cards->isEnabled());
  Form.lvCardRom->SetSelected(0, true);   // the Read button follows the selection
  const QRect Cell = Cards->visualItemRect(Cards->topLevelItem(0));
  QTest::mouseDClick(Cards->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
  TQtRig::Settle();
  EXPECT_EQ(Reads, 0);
  auto* Queue = Rig.Widget<QTreeWidget>("lvROMs");
  ASSERT_FALSE(Queue->isEnabled());
  QTest::mouseDClick(Queue->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
  TQtRig::Settle();
  EXPECT_TRUE(Rig.Dialogs.Filters.empty());   // no Add

  Form.ShowAdvancePanel();
  QTest::mouseDClick(Rig.Widget("Label3"), Qt::LeftButton);
  EXPECT_FALSE(Rig.Widget("gbAdvance")->isHidden());
  QTest::mouseDClick(Rig.Widget("gbAdvance"), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
  EXPECT_TRUE(Rig.Widget("gbAdvance")->isHidden());
}

// During a read of several games the Read button is the Stop button; a
// double-click on the greyed-out card list must not stop the read.
TEST(QtEvents, DoubleClickOnTheGreyedCardListDoesNotStopARead) {
  TQtRig Rig;
  Rig.PutGame(0, "WHOLE PAGE", 7);
  ASSERT_TRUE(Rig.Start());
  TMainForm& Form = *Rig.Form;
  Form.FrontEnd().SetDispatchInterval(std::chrono::microseconds(0));
  auto* Cards = Rig.Widget<QTreeWidget>("lvCardRom");
  const QRect Cell = Cards->visualItemRect(Cards->topLevelItem(0));
  bool OperatingAfter = false;
  Form.SetOperationBody(Form.btnRead, [&] {
    Form.State().Operating = true;
    QTest::mouseDClick(Cards->viewport(), Qt::LeftButton, Qt::NoModifier, Cell.center());
    for (int Pump = 0; Pump < 5; ++Pump) Form.FrontEnd().PumpMessages();
    OperatingAfter = Form.State().Operating;
  });
  Form.lvCardRom->SetSelected(0, true);
  QTest::mouseClick(Rig.Widget("btnRead"), Qt::LeftButton);
  EXPECT_TRUE(OperatingAfter);
}

// In the ROM test no key reaches the page box under the test box.
TEST(QtEvents, KeysInTheRomTestCannotChooseAnotherPage) {
  TQtRig Rig;
  ASSERT_TRUE(Rig.Start({"/rom"}));
  QWidget& Window = Rig.Window();
  QApplication::setActiveWindow(&Window);
  Window.activateWindow();
  (void)QTest::qWaitForWindowActive(&Window, 2000);
  for (int Key = 0; Key < 12; ++Key) {
    QWidget* Focus = QApplication::focusWidget() ? QApplication::focusWidget() : &Window;
    QTest::keyClick(Focus, Key % 3 == 2 ? Qt::Key_Down : Qt::Key_Tab);
    QWidget* Now = QApplication::focusWidget();
    EXPECT_FALSE(Now && Rig.Widget("pMain")->isAncestorOf(Now)) << Now->objectName().toStdString();
  }
  EXPECT_EQ(Rig.Widget<QComboBox>("cbPart")->currentIndex(), 0);
  EXPECT_EQ(Rig.Form->State().PageBase, 0u);
}

}  // namespace
