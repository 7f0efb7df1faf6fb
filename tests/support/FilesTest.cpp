// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/support/DeleteFile.h"
#include "core/support/FileCompare.h"
#include "core/support/FileData.h"
#include "core/support/FileSize.h"
#include "core/support/Paths.h"
#include "tests/support/SteppedBytes.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

TEST(FileSize, OfNamesAndPatterns) {
  TTempFolder Dir;
  Dir.Write("b.gb", Pattern(300));
  Dir.Write("a.gb", Pattern(100));
  Dir.Write("empty.gb", {});
  fs::create_directory(Dir.Path() / "folder.gb");

  EXPECT_EQ(FileSizeOf(Dir.File("a.gb")), 100);
  EXPECT_EQ(FileSizeOf(Dir.File("empty.gb")), 0);
  EXPECT_EQ(FileSizeOf(Dir.File("missing.gb")), -1);
  EXPECT_EQ(FileSizeOf(""), -1);
  EXPECT_EQ(FileSizeOf(Dir.File("folder.gb")), -1);   // a folder is no file
  // Patterns only when the caller asks for them.
  constexpr TNameMatch Wild = TNameMatch::Wildcards;
  EXPECT_EQ(FileSizeOf(Dir.File("?.gb"), Wild), 100);        // first match by name: a.gb
  EXPECT_EQ(FileSizeOf(Dir.File("b*"), Wild), 300);
  EXPECT_EQ(FileSizeOf(Dir.File("*.sav"), Wild), -1);
  EXPECT_EQ(FileSizeOf(Dir.File("f*"), Wild), -1);           // only the folder matches
  EXPECT_EQ(FileSizeOf(Dir.File("a.gb"), Wild), 100);
}

// Names that hold * or ? are real file names on Linux: the file of that
// name is sized, not the first file the name would match as a pattern.
TEST(FileSize, NamesWithWildcardCharactersAreTakenAsTheyStand) {
  TTempFolder Dir;
  Dir.Write("g1.gb", Pattern(0x8000));
  Dir.Write("g?.gb", Pattern(0x20000));
  Dir.Write("a1.gb", Pattern(10));
  Dir.Write("a*.gb", Pattern(20));
  EXPECT_EQ(FileSizeOf(Dir.File("g?.gb")), 0x20000);
  EXPECT_EQ(FileSizeOf(Dir.File("a*.gb")), 20);
  EXPECT_EQ(FileSizeOf(Dir.File("b?.gb")), -1);   // no such file, whatever it would match
  EXPECT_EQ(FileSizeOf(Dir.File("g*")), -1);
}

TEST(FileSize, OfHandleKeepsThePosition) {
  TTempFolder Dir;
  std::FILE* File = std::fopen(Dir.Write("x.bin", Pattern(5000)).c_str(), "rb");
  ASSERT_NE(File, nullptr);
  std::fseek(File, 1234, SEEK_SET);
  EXPECT_EQ(FileSizeOfHandle(File), 5000);
  EXPECT_EQ(std::ftell(File), 1234);
  std::fclose(File);
  EXPECT_EQ(FileSizeOfHandle(nullptr), -1);
}

TEST(ReadFileData, WholeFileHeadAndFailures) {
  TTempFolder Dir;
  const auto Bytes = Pattern(1000);
  const std::string Name = Dir.Write("game.gb", Bytes);

  int64_t Count = -1;
  auto Buffer = ReadFileData(Name, Count);
  ASSERT_TRUE(Buffer);
  EXPECT_EQ(Count, 1000);
  EXPECT_EQ(std::vector<uint8_t>(Buffer.get(), Buffer.get() + 1000), Bytes);
  EXPECT_EQ(Buffer[1000], 0);

  Count = 512;   // the header read of a game
  Buffer = ReadFileData(Name, Count);
  ASSERT_TRUE(Buffer);
  EXPECT_EQ(Count, 512);
  EXPECT_EQ(Buffer[511], Bytes[511]);
  EXPECT_EQ(Buffer[512], 0);

  const std::string Small = Dir.Write("small.gb", Pattern(100));
  Count = 512;   // more asked than there is: Count says what came
  Buffer = ReadFileData(Small, Count);
  ASSERT_TRUE(Buffer);
  EXPECT_EQ(Count, 100);
  EXPECT_EQ(Buffer[100], 0);

  const struct {
    std::string Name;
    int64_t CountIn, CountOut;
  } Failures[] = {
      {Dir.Write("empty.gb", {}), -1, 0},
      {Dir.Write("empty2.gb", {}), 512, 0},
      {Dir.File("missing.gb"), -1, -1},
      {Dir.File("missing.gb"), 512, -1},
      {Name, 0, 0},
      {Name, -7, -1},   // no such count: nothing is allocated from it
      {Dir.Path().string(), -1, -1},   // a folder cannot be read as a file
  };
  for (const auto& F : Failures) {
    Count = F.CountIn;
    EXPECT_FALSE(ReadFileData(F.Name, Count)) << F.Name << ' ' << F.CountIn;
    EXPECT_EQ(Count, F.CountOut) << F.Name << ' ' << F.CountIn;
  }
}

TEST(CompareFiles, ChunksAndEdges) {
  TTempFolder Dir;
  const size_t Size = 2 * 65536 + 100;   // two whole chunks and a partial one
  auto Bytes = Pattern(Size);
  const std::string A = Dir.Write("a.gb", Bytes);
  const std::string Same = Dir.Write("same.gb", Bytes);
  Bytes[Size - 1] ^= 0x01;
  const std::string LastByte = Dir.Write("last.gb", Bytes);
  Bytes[Size - 1] ^= 0x01;
  Bytes[65536] ^= 0x80;
  const std::string ChunkStart = Dir.Write("chunk.gb", Bytes);
  const std::string Shorter = Dir.Write("short.gb", Pattern(Size - 1));
  const std::string Empty1 = Dir.Write("e1.gb", {});
  const std::string Empty2 = Dir.Write("e2.gb", {});

  const struct {
    std::string A, B;
    bool Expected;
  } Cases[] = {
      {A, Same, true},        {A, A, true},          {Empty1, Empty2, true}, {A, LastByte, false},
      {A, ChunkStart, false}, {A, Shorter, false},   {A, Empty1, false},     {A, Dir.File("missing"), false},
      {Dir.File("missing"), Dir.File("missing"), false},
  };
  for (const auto& C : Cases) EXPECT_EQ(CompareFiles(C.A, C.B), C.Expected) << C.A << " vs " << C.B;
}

TEST(FirstDifference, IndexOrMinusOne) {
  const uint8_t A[] = {1, 2, 3, 4};
  const uint8_t B[] = {1, 2, 9, 4};
  EXPECT_EQ(FirstDifference(A, B, 4), 2);
  EXPECT_EQ(FirstDifference(A, B, 2), -1);
  EXPECT_EQ(FirstDifference(A, B, 0), -1);
  EXPECT_TRUE(SameBytes(A, B, 2));
  EXPECT_FALSE(SameBytes(A, B, 3));
}

TEST(DeleteFileWait, RoundsAndAnswers) {
  TTempFolder Dir;
  const std::string Name = Dir.Write("pack.tmp", Pattern(10));
  // One round deletes, but there is no last look: the answer is false.
  EXPECT_FALSE(DeleteFileWait(Name, 0));
  EXPECT_FALSE(fs::exists(Name));
  EXPECT_TRUE(DeleteFileWait(Name, 0));   // nothing there any more

  const std::string Other = Dir.Write("other.tmp", Pattern(10));
  EXPECT_FALSE(DeleteFileWait(Other, -1));
  EXPECT_TRUE(fs::exists(Other));
  EXPECT_TRUE(DeleteFileWait(Other, 1));
  EXPECT_FALSE(fs::exists(Other));

  fs::create_directory(Dir.Path() / "folder");
  EXPECT_FALSE(DeleteFileWait(Dir.File("folder"), 2));   // a folder is left alone
  EXPECT_TRUE(fs::is_directory(Dir.Path() / "folder"));
}

TEST(TempNames, FreshNamesInTheTemporaryFolder) {
  TTempFolder Dir;
  const char* Old = std::getenv("TMPDIR");
  const std::string Saved = Old ? Old : "";
  setenv("TMPDIR", Dir.Path().c_str(), 1);

  EXPECT_EQ(TempDirectory(), AddBackslash(Dir.Path().string()));
  const std::string First = TempFileName();
  const std::string Second = TempFileName();
  EXPECT_FALSE(First.empty());
  EXPECT_NE(First, Second);
  EXPECT_EQ(fs::path(First).parent_path(), Dir.Path());
  EXPECT_FALSE(fs::exists(First));
  EXPECT_FALSE(fs::exists(Second));

  const std::string Made = UniqueFileIn(Dir.Path().string());
  EXPECT_TRUE(fs::is_regular_file(Made));
  EXPECT_EQ(fs::file_size(Made), 0u);
  EXPECT_NE(UniqueFileIn(Dir.Path().string()), Made);
  EXPECT_EQ(UniqueFileIn(Dir.File("no-such-folder")), "");
  EXPECT_EQ(UniqueFileIn(""), "");

  if (Old) setenv("TMPDIR", Saved.c_str(), 1);
  else unsetenv("TMPDIR");
}
