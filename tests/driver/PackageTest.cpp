// SPDX-License-Identifier: GPL-3.0-or-later
// The driver's installation package as built: the installation description
// (sections and entries in order, CR LF line ends, 8-bit text, the cable's
// hardware identifier) and, among the program's resources, that description
// and the x86 Bridgewick.sys exactly as built.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#ifdef FQ_HAS_PROGRAM_RESOURCES
#include "ProgramResources.h"
#endif

namespace {

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

std::string Upper(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return char(std::toupper(C)); });
  return Text;
}

// The description's lines without their CR LF.
std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Result;
  size_t At = 0;
  while (At < Text.size()) {
    size_t End = Text.find("\r\n", At);
    if (End == std::string::npos) End = Text.size();
    Result.push_back(Text.substr(At, End - At));
    At = End + 2;
  }
  return Result;
}

// An entry with the spaces around '=' and ',' taken out; comments kept apart.
std::string Squeezed(const std::string& Line) {
  // A ';' inside quotes is text (security descriptors are full of them).
  size_t Comment = std::string::npos;
  bool Quoted = false;
  for (size_t At = 0; At < Line.size() && Comment == std::string::npos; ++At) {
    if (Line[At] == '"') Quoted = !Quoted;
    if (Line[At] == ';' && !Quoted) Comment = At;
  }
  std::string Text = Line.substr(0, Comment);
  std::string Out;
  for (size_t At = 0; At < Text.size(); ++At) {
    char C = Text[At];
    if (C == ' ' || C == '\t') {
      char Before = Out.empty() ? '=' : Out.back();
      size_t Next = Text.find_first_not_of(" \t", At);
      char After = Next == std::string::npos ? '=' : Text[Next];
      if (Before == '=' || Before == ',' || After == '=' || After == ',') continue;
    }
    Out += C;
  }
  return Out;
}

class PackageTest : public ::testing::Test {
protected:
  std::string Text = ReadAll(FQ_BRIDGEWICK_INF);
  std::string Id = "USB\\VID_" + Upper(FQ_USB_VENDOR_ID) + "&PID_" + Upper(FQ_USB_PRODUCT_ID);
};

TEST_F(PackageTest, IsEightBitTextWithCrLfLineEnds) {
  ASSERT_FALSE(Text.empty()) << FQ_BRIDGEWICK_INF;
  for (size_t At = 0; At < Text.size(); ++At) {
    unsigned char C = Text[At];
    ASSERT_TRUE(C == '\r' || C == '\n' || C == '\t' || (C >= 0x20 && C < 0x7F)) << "byte " << At;
    if (C == '\n') {
      ASSERT_TRUE(At > 0 && Text[At - 1] == '\r') << "bare LF at " << At;
    }
    if (C == '\r') {
      ASSERT_TRUE(At + 1 < Text.size() && Text[At + 1] == '\n') << "bare CR at " << At;
    }
  }
  EXPECT_EQ(Text.substr(Text.size() - 2), "\r\n");
}

TEST_F(PackageTest, HasEverySectionAndEntryInOrder) {
  // Each section with its entries as setup reads them.
  const std::vector<std::pair<std::string, std::vector<std::string>>> Expected = {
      {"[Version]", {"Signature=\"$CHICAGO$\"", "Class=USB", "provider=%MSFT%", "LayoutFile=layout.inf"}},
      {"[SourceDisksNames]", {"1=\"Bridgewick Cable\",,1"}},
      {"[SourceDisksFiles]", {"Bridgewick.sys=1"}},
      {"[Manufacturer]", {"%MfgName%=Microsoft"}},
      {"[Microsoft]", {"%" + Id + ".DeviceDesc%=Bridgewick.Dev," + Id}},
      {"[PreCopySection]", {"HKR,,NoSetupUI,,1"}},
      {"[DestinationDirs]", {"Bridgewick.Files.Ext=10,System32\\Drivers", "Bridgewick.Files.Inf=10,INF"}},
      {"[Bridgewick.Dev]", {"CopyFiles=Bridgewick.Files.Ext,Bridgewick.Files.Inf", "AddReg=Bridgewick.AddReg"}},
      {"[Bridgewick.Dev.NT]", {"CopyFiles=Bridgewick.Files.Ext,Bridgewick.Files.Inf", "AddReg=Bridgewick.AddReg"}},
      {"[Bridgewick.Dev.NT.HW]", {"AddReg=Bridgewick.Security.AddReg"}},
      {"[Bridgewick.Dev.NT.Services]", {"Addservice=Bridgewick,0x00000002,Bridgewick.AddService"}},
      {"[Bridgewick.AddService]",
       {"DisplayName=%Bridgewick.SvcDesc%", "ServiceType=1", "StartType=2", "ErrorControl=1",
        "ServiceBinary=%10%\\System32\\Drivers\\Bridgewick.sys", "LoadOrderGroup=Base"}},
      {"[Bridgewick.AddReg]",
       {"HKR,,DevLoader,,*ntkern", "HKR,,NTMPDriver,,Bridgewick.sys",
        "HKLM,\"System\\Currentcontrolset\\Services\\Bridgewick\\Parameters\",\"MaximumTransferSize\",0x10001,4096",
        "HKLM,\"System\\Currentcontrolset\\Services\\Bridgewick\\Parameters\",\"DebugLevel\",0x10001,2"}},
      // The device's security, in its hardware key: the system, administrators
      // and the interactive user only.
      {"[Bridgewick.Security.AddReg]", {"HKR,,Security,,\"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;IU)\""}},
      {"[Bridgewick.Files.Ext]", {"Bridgewick.sys"}},
      {"[Bridgewick.Files.Inf]", {"Bridgewick.inf"}},
      {"[Strings]",
       {"MSFT=\"Microsoft\"", "MfgName=", Id + ".DeviceDesc=\"Bridgewick Cable\"",
        "Bridgewick.SvcDesc=\"Bridgewick driver V3.0\""}},
  };
  std::vector<std::pair<std::string, std::vector<std::string>>> Found;
  for (const std::string& Line : Lines(Text)) {
    std::string Entry = Squeezed(Line);
    if (Entry.empty()) continue;
    if (Entry.front() == '[') {
      Found.push_back({Entry, {}});
    } else {
      ASSERT_FALSE(Found.empty()) << "an entry before the first section: " << Line;
      Found.back().second.push_back(Entry);
    }
  }
  ASSERT_EQ(Found.size(), Expected.size());
  for (size_t Index = 0; Index < Expected.size(); ++Index) {
    SCOPED_TRACE(Expected[Index].first);
    EXPECT_EQ(Found[Index].first, Expected[Index].first);
    ASSERT_EQ(Found[Index].second.size(), Expected[Index].second.size());
    for (size_t Entry = 0; Entry < Expected[Index].second.size(); ++Entry) {
      const std::string& Want = Expected[Index].second[Entry];
      if (Want == "MfgName=")
        EXPECT_TRUE(Found[Index].second[Entry].rfind("MfgName=\"", 0) == 0 && Found[Index].second[Entry].size() > 10)
            << "the maker's display name";
      else
        EXPECT_EQ(Found[Index].second[Entry], Want);
    }
  }
}

TEST_F(PackageTest, CommentsSitWhereSetupIgnoresThemAndSayWhatTheyShould) {
  std::vector<std::string> All = Lines(Text);
  auto Strings = std::find(All.begin(), All.end(), "[Strings]");
  ASSERT_NE(Strings, All.end());
  // The last non-empty line before [Strings] is a comment of dashes.
  auto Before = Strings;
  do --Before;
  while (Before->empty());
  ASSERT_GE(Before->size(), 10u);
  EXPECT_EQ(Before->front(), ';');
  EXPECT_EQ(Before->find_first_not_of("-", 1), std::string::npos) << *Before;

  const std::pair<const char*, const char*> Numeric[] = {
      {"ServiceType", "SERVICE_KERNEL_DRIVER"}, {"StartType", "SERVICE_AUTO_START"}, {"ErrorControl", "SERVICE_ERROR_NORMAL"}};
  for (auto& [Entry, Constant] : Numeric) {
    auto Line = std::find_if(All.begin(), All.end(), [&](const std::string& L) { return L.rfind(Entry, 0) == 0; });
    ASSERT_NE(Line, All.end()) << Entry;
    size_t Comment = Line->find(';');
    ASSERT_NE(Comment, std::string::npos) << *Line;
    EXPECT_NE(Line->find(Constant, Comment), std::string::npos) << *Line;
  }
}

#ifdef FQ_HAS_PROGRAM_RESOURCES
TEST(PackageResourcesTest, TheProgramCarriesTheDescriptionAndTheX86DriverAsBuilt) {
  const std::pair<const char*, const char*> Carried[] = {{"BRIDGEWICK_INF", FQ_BRIDGEWICK_INF},
                                                         {"BRIDGEWICK_SYS", FQ_BRIDGEWICK_SYS_X86}};
  for (auto& [Name, Path] : Carried) {
    SCOPED_TRACE(Name);
    const TResourceEntry* Entry = FindEmbeddedResource(ProgramResources(), Name, "KVQ");
    ASSERT_NE(Entry, nullptr);
    std::string Built = ReadAll(Path);
    ASSERT_FALSE(Built.empty()) << Path;
    ASSERT_EQ(Entry->Size, Built.size());
    EXPECT_TRUE(std::equal(Built.begin(), Built.end(), reinterpret_cast<const char*>(Entry->Data)));
  }
}
#endif

}  // namespace
