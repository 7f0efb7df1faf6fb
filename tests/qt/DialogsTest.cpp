// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog half: filters in the file dialogs' form, and the scripted
// answers the tests of the operations rely on.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/qt/QtDialogs.h"
#include "app/memory/ScriptedDialogs.h"

namespace {

TEST(Dialogs, PipeFiltersBecomeFileDialogFilters) {
  EXPECT_EQ(FileDialogFilter("GB Rom File(*.gb;*.gbc)|*.gb;*.gbc|All File(*.*)|*.*"),
            "GB Rom File(*.gb;*.gbc) (*.gb *.gbc);;All File(*.*) (*)");
  EXPECT_EQ(FileDialogFilter("Save RAM|*.sav"), "Save RAM (*.sav)");
  EXPECT_EQ(FileDialogFilter(""), "");
}

// A name typed without a suffix gets the chosen filter's first one; a filter
// of every file adds none.
TEST(Dialogs, SaveDialogsAddTheChosenFiltersSuffix) {
  const struct {
    const char* Filter;
    const char* Suffix;
  } Cases[] = {
      {"Game Boy Save File (*.sav) (*.sav)", "sav"},
      {"GB Game Files (*.gb;*.gbc) (*.gb *.gbc)", "gb"},
      {"All Files (*.*) (*)", ""},
      {"Any (*.*)", ""},
      {"No patterns", ""},
  };
  for (const auto& Case : Cases) EXPECT_EQ(DefaultSuffixOf(QString::fromUtf8(Case.Filter)), Case.Suffix) << Case.Filter;
}

TEST(Dialogs, ScriptedAnswersComeInOrderAndUnscriptedOnesAreSafe) {
  TScriptedDialogs Dialogs;
  Dialogs.MessageAnswers = {MB_RESULT_YES};
  EXPECT_EQ(Dialogs.ShowMessageBox("Sure?", "Flashquill", MB_FLAGS_QUESTION), MB_RESULT_YES);
  EXPECT_EQ(Dialogs.ShowMessageBox("Sure?", "Flashquill", MB_FLAGS_QUESTION), MB_RESULT_NO);
  EXPECT_EQ(Dialogs.ShowMessageBox("Done", "Flashquill", MB_FLAGS_INFO), MB_RESULT_OK);
  ASSERT_EQ(Dialogs.Messages.size(), 3u);
  EXPECT_EQ(Dialogs.Messages[2].Flags, MB_FLAGS_INFO);

  std::vector<std::string> Files;
  Dialogs.OpenAnswers = {{"a.gb", "b.gb"}};
  EXPECT_TRUE(Dialogs.ChooseOpenFiles("GB|*.gb", "", true, Files));
  EXPECT_EQ(Files, (std::vector<std::string>{"a.gb", "b.gb"}));
  EXPECT_FALSE(Dialogs.ChooseOpenFiles("GB|*.gb", "", true, Files));   // nothing scripted: cancelled

  std::string Folder = "/no/such/folder";
  EXPECT_FALSE(Dialogs.BrowseForFolder("Select save directory", Folder));
  EXPECT_EQ(Folder, "");   // a folder that does not exist is cleared
}

struct TBoxCase {
  int Flags;
  QMessageBox::Icon Icon;
  QMessageBox::StandardButtons Buttons;
  QMessageBox::StandardButton Press;   // 0: the box is closed with Esc
  int Result;
};

// The platform's flags and results on the toolkit's message box.
const TBoxCase BoxCases[] = {
    {MB_FLAGS_ERROR, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, MB_RESULT_OK},
    {MB_FLAGS_INFO, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, MB_RESULT_OK},
    {MB_FLAGS_QUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, MB_RESULT_YES},
    {MB_FLAGS_QUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, MB_RESULT_NO},
    {MB_FLAGS_QUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton,
     MB_RESULT_NO},
};

TEST(Dialogs, MessageBoxShowsTheFlagsIconAndButtonsAndAnswersThePlatformsCodes) {
  TQtDialogs Dialogs;
  for (const TBoxCase& Case : BoxCases) {
    SCOPED_TRACE(Case.Flags);
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    QString Text, Title;
    QTimer::singleShot(0, [&] {
      auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(Box, nullptr);
      Icon = Box->icon();
      Buttons = Box->standardButtons();
      Text = Box->text();
      Title = Box->windowTitle();
      if (Case.Press == QMessageBox::NoButton)
        Box->reject();
      else
        Box->button(Case.Press)->click();
    });
    EXPECT_EQ(Dialogs.ShowMessageBox("Now operting, cancel it?", "Flashquill", Case.Flags), Case.Result);
    EXPECT_EQ(Icon, Case.Icon);
    EXPECT_EQ(Buttons, Case.Buttons);
    EXPECT_EQ(Text, "Now operting, cancel it?");
    EXPECT_EQ(Title, "Flashquill");
  }
}

}  // namespace
