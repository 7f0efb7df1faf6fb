// The dialog half: filters in the file dialogs' form, and the scripted
// answers the tests of the operations rely on.
#include <gtest/gtest.h>

#include "app/support/QtDialogs.h"
#include "app/support/ScriptedDialogs.h"

namespace {

TEST(Dialogs, PipeFiltersBecomeFileDialogFilters) {
  EXPECT_EQ(FileDialogFilter("GB Rom File(*.gb;*.gbc)|*.gb;*.gbc|All File(*.*)|*.*"),
            "GB Rom File(*.gb;*.gbc) (*.gb *.gbc);;All File(*.*) (*.*)");
  EXPECT_EQ(FileDialogFilter("Save RAM|*.sav"), "Save RAM (*.sav)");
  EXPECT_EQ(FileDialogFilter(""), "");
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

}  // namespace
