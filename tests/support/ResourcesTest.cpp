// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ProgramResources.h"
#include "TestResources.h"
#include "core/support/Resources.h"
#include "tests/support/SteppedBytes.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFrontEnd.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const std::string& Name) {
  std::ifstream In(Name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

class ResourcesTest : public ::testing::Test {
protected:
  void SetUp() override {
    ClearRegisteredResources();
    RegisterResources(TestResources());
  }
  void TearDown() override { ClearRegisteredResources(); }

  TTempFolder Dir;
  TTestFrontEnd FrontEnd;
};

}  // namespace

TEST_F(ResourcesTest, ExtractsTheEmbeddedBytesExactly) {
  const std::string Out = Dir.File("out.bin");
  Dir.Write("out.bin", Pattern(5000));   // an existing file is replaced
  EXPECT_TRUE(ExtractResourceToFile(FrontEnd, "TESTRES", "KVQ", Out));
  EXPECT_EQ(ReadAll(Out), ReadAll(FQ_TEST_RESOURCE_FILE));
  EXPECT_TRUE(FrontEnd.Messages.empty());

  EXPECT_TRUE(ExtractResourceToFile(FrontEnd, "EMPTYRES", "KVQ", Out));
  EXPECT_TRUE(fs::exists(Out));
  EXPECT_EQ(fs::file_size(Out), 0u);
}

TEST_F(ResourcesTest, MissingResourceIsFalseAndSilent) {
  const struct {
    const char* Name;
    const char* Type;
  } Cases[] = {{"NOSUCH", "KVQ"}, {"TESTRES", "RCDATA"}, {"testres", "KVQ"}, {"", ""}};
  for (const auto& C : Cases) {
    const std::string Out = Dir.File(std::string("m-") + C.Name + C.Type);
    EXPECT_FALSE(ExtractResourceToFile(FrontEnd, C.Name, C.Type, Out)) << C.Name << '/' << C.Type;
    EXPECT_FALSE(fs::exists(Out));
  }
  EXPECT_TRUE(FrontEnd.Messages.empty());

  ClearRegisteredResources();   // nothing registered: nothing found
  EXPECT_FALSE(ExtractResourceToFile(FrontEnd, "TESTRES", "KVQ", Dir.File("none")));
}

TEST_F(ResourcesTest, UnwritableFileShowsTheResourceErrorAndStaysTrue) {
  const std::string Out = Dir.File("no-such-folder/pack.gb");
  EXPECT_TRUE(ExtractResourceToFile(FrontEnd, "TESTRES", "KVQ", Out));
  ASSERT_EQ(FrontEnd.Messages.size(), 1u);
  EXPECT_EQ(FrontEnd.Messages[0].Caption, "资源错误");
  EXPECT_EQ(FrontEnd.Messages[0].Text, "找不到资源数据！\r\nTESTRES/KVQ");
  EXPECT_EQ(FrontEnd.Messages[0].Flags, 16);
  EXPECT_FALSE(fs::exists(Out));
}

TEST_F(ResourcesTest, TablesCanBePassedOrRegistered) {
  ClearRegisteredResources();
  EXPECT_TRUE(ExtractResourceToFile(FrontEnd, TestResources(), "TESTRES", "KVQ", Dir.File("a")));
  EXPECT_EQ(FindEmbeddedResource("TESTRES", "KVQ"), nullptr);

  RegisterResources(ProgramResources());
  RegisterResources(TestResources());
  RegisterResources(TestResources());   // twice is once
  const TResourceEntry* Entry = FindEmbeddedResource("TESTRES", "KVQ");
  ASSERT_NE(Entry, nullptr);
  EXPECT_EQ(Entry->Size, fs::file_size(FQ_TEST_RESOURCE_FILE));
  EXPECT_EQ(FindEmbeddedResource(TestResources(), "EMPTYRES", "KVQ")->Size, 0u);
}

TEST(ProgramResources, CarriesTheBootMenu) {
#ifdef FQ_HAVE_GBPACK
  const TResourceEntry* Menu = FindEmbeddedResource(ProgramResources(), "GBPACK", "KVQ");
  ASSERT_NE(Menu, nullptr);
  EXPECT_EQ(Menu->Size, 32768u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Menu->Data) + 0x134, 5), "VA16Z");
#else
  GTEST_SKIP() << "the boot menu is not part of this build yet";
#endif
}
