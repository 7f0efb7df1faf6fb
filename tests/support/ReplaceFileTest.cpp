// SPDX-License-Identifier: GPL-3.0-or-later
// The safe replacement of a file: the target changes only at Commit, and
// whatever ends the writing early leaves it, and its folder, as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/support/PrivateTempFile.h"
#include "core/support/ReplaceFile.h"
#include "tests/support/SteppedBytes.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

size_t Entries(const fs::path& Folder) {
  size_t Count = 0;
  for ([[maybe_unused]] const auto& Entry : fs::directory_iterator(Folder)) ++Count;
  return Count;
}

TEST(ReplaceFile, TheTargetChangesOnlyWhenCommitted) {
  TTempFolder Folder;
  const std::vector<uint8_t> Old = Pattern(5000, 1), New = Pattern(9000, 2);
  const struct {
    const char* What;
    bool Exists;
    bool Commit;
  } Cases[] = {
      {"new file, committed", false, true},
      {"new file, abandoned", false, false},
      {"old file, committed", true, true},
      {"old file, abandoned", true, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Target = Folder.File("target.bin");
    fs::remove(Target);
    if (C.Exists) {
      Folder.Write("target.bin", Old);
      ::chmod(Target.c_str(), 0604);
    }
    {
      TReplaceFile File(Target);
      ASSERT_TRUE(File.Ok()) << File.Error();
      EXPECT_EQ(File.TempName().rfind(Folder.File(".target.bin."), 0), 0u) << File.TempName();
      struct stat Info {};
      ASSERT_EQ(::stat(File.TempName().c_str(), &Info), 0);
      EXPECT_EQ(Info.st_mode & 0777, 0600u) << "the temporary is private";
      ASSERT_TRUE(File.Write(New.data(), 4000));
      // Half written: the target is as it was.
      EXPECT_EQ(fs::exists(Target), C.Exists);
      if (C.Exists) EXPECT_EQ(Bytes(Target), Old);
      ASSERT_TRUE(File.Write(New.data() + 4000, New.size() - 4000));
      if (C.Commit) EXPECT_TRUE(File.Commit()) << File.Error();
    }
    EXPECT_EQ(Entries(Folder.Path()), C.Commit || C.Exists ? 1u : 0u) << "a temporary was left";
    if (C.Commit) {
      EXPECT_EQ(Bytes(Target), New);
      struct stat Info {};
      ASSERT_EQ(::stat(Target.c_str(), &Info), 0);
      if (C.Exists) EXPECT_EQ(Info.st_mode & 0777, 0604u) << "the old file's permissions";
    } else if (C.Exists) {
      EXPECT_EQ(Bytes(Target), Old);
    }
  }
}

TEST(ReplaceFile, FailuresSayTheSystemsReason) {
  TTempFolder Folder;
  const struct {
    const char* What;
    std::string Target;
    const char* Reason;
  } Cases[] = {
      {"missing folder", Folder.File("gone/x.bin"), "No such file or directory"},
      {"a folder", Folder.Path().string(), "Is a directory"},
      {"name too long", Folder.File(std::string(300, 'n')), "File name too long"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TReplaceFile File(C.Target);
    EXPECT_FALSE(File.Ok());
    EXPECT_EQ(File.Error(), C.Reason);
    EXPECT_FALSE(File.Commit());
  }
  // A full device takes the open but not the bytes.
  TReplaceFile Full("/dev/full");
  ASSERT_TRUE(Full.Ok()) << Full.Error();
  const std::vector<uint8_t> Some = Pattern(100);
  EXPECT_FALSE(Full.Write(Some.data(), Some.size()) && Full.Commit());
  EXPECT_EQ(Full.Error(), "No space left on device");
  EXPECT_EQ(Entries(Folder.Path()), 0u);
}

// The private temporary file has no name: nothing appears in the temporary
// folder, whatever is written to it.
TEST(PrivateTempFile, LeavesNoNameInTheTemporaryFolder) {
  TTempFolder Folder;
  const char* Old = std::getenv("TMPDIR");
  const std::string Saved = Old ? Old : "";
  ::setenv("TMPDIR", Folder.Path().c_str(), 1);
  std::string Error;
  std::FILE* File = OpenPrivateTempFile(Error);
  if (Old) ::setenv("TMPDIR", Saved.c_str(), 1); else ::unsetenv("TMPDIR");
  ASSERT_NE(File, nullptr) << Error;
  const std::vector<uint8_t> Data = Pattern(70000);
  EXPECT_EQ(std::fwrite(Data.data(), 1, Data.size(), File), Data.size());
  EXPECT_EQ(Entries(Folder.Path()), 0u);
  std::rewind(File);
  std::vector<uint8_t> Back(Data.size());
  EXPECT_EQ(std::fread(Back.data(), 1, Back.size(), File), Back.size());
  EXPECT_EQ(Back, Data);
  std::fclose(File);
}

}  // namespace
