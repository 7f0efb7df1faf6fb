// SPDX-License-Identifier: GPL-3.0-or-later
// The x64 installation package read back as Windows 10/11 setup reads it:
// the version section (signature, device class, provider, driver date and
// version, catalog), the NTamd64 models with the cable's hardware identifier,
// a demand-start kernel service with no load-order group, the x64 image as
// its only file, and nothing that setup refuses or no longer supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return char(std::tolower(C)); });
  return Text;
}

std::string Trim(const std::string& Text) {
  size_t First = Text.find_first_not_of(" \t");
  if (First == std::string::npos) return "";
  return Text.substr(First, Text.find_last_not_of(" \t") - First + 1);
}

std::vector<std::string> Split(const std::string& Text, char By) {
  std::vector<std::string> Parts;
  size_t At = 0;
  for (;;) {
    size_t End = Text.find(By, At);
    Parts.push_back(Trim(Text.substr(At, End == std::string::npos ? std::string::npos : End - At)));
    if (End == std::string::npos) return Parts;
    At = End + 1;
  }
}

struct TEntry {
  std::string Key;     // empty for a line without '='
  std::string Value;
};

// Sections by lower-case name, each with its entries in order; comments
// (from a ';' outside quotes) dropped.
class TInf {
public:
  explicit TInf(const std::string& Text) {
    std::vector<TEntry>* Current = nullptr;
    size_t At = 0;
    while (At < Text.size()) {
      size_t End = Text.find("\r\n", At);
      if (End == std::string::npos) End = Text.size();
      std::string Line = Text.substr(At, End - At);
      At = End + 2;
      bool Quoted = false;
      for (size_t Index = 0; Index < Line.size(); ++Index) {
        if (Line[Index] == '"') Quoted = !Quoted;
        if (Line[Index] == ';' && !Quoted) {
          Line.resize(Index);
          break;
        }
      }
      Line = Trim(Line);
      if (Line.empty()) continue;
      if (Line.front() == '[' && Line.back() == ']') {
        Current = &FSections[Lower(Line.substr(1, Line.size() - 2))];
        continue;
      }
      if (Current == nullptr) continue;
      size_t Equals = Line.find('=');
      if (Equals == std::string::npos)
        Current->push_back({"", Line});
      else
        Current->push_back({Lower(Trim(Line.substr(0, Equals))), Trim(Line.substr(Equals + 1))});
    }
  }
  bool Has(const std::string& Section) const { return FSections.count(Lower(Section)) != 0; }
  const std::vector<TEntry>& Section(const std::string& Name) const {
    static const std::vector<TEntry> None;
    auto Found = FSections.find(Lower(Name));
    return Found == FSections.end() ? None : Found->second;
  }
  // The value of the first entry with the key, "" if none.
  std::string Value(const std::string& Section, const std::string& Key) const {
    for (const TEntry& Entry : this->Section(Section))
      if (Entry.Key == Lower(Key)) return Entry.Value;
    return "";
  }
  // A %token% replaced from [Strings], without its quotes.
  std::string Expand(const std::string& Value) const {
    if (Value.size() < 2 || Value.front() != '%' || Value.back() != '%') return Value;
    std::string Text = this->Value("Strings", Value.substr(1, Value.size() - 2));
    if (Text.size() >= 2 && Text.front() == '"' && Text.back() == '"') Text = Text.substr(1, Text.size() - 2);
    return Text;
  }
  const std::map<std::string, std::vector<TEntry>>& Sections() const { return FSections; }

private:
  std::map<std::string, std::vector<TEntry>> FSections;
};

class Package64Test : public ::testing::Test {
protected:
  std::string Text = ReadAll(FQ_BRIDGEWICK_INF_X64);
  TInf Inf{Text};
  std::string Id = Lower("USB\\VID_" + std::string(FQ_USB_VENDOR_ID) + "&PID_" + FQ_USB_PRODUCT_ID);

  // The install section the cable's hardware identifier leads to.
  std::string InstallSection() const {
    std::vector<std::string> Manufacturer = Split(Inf.Section("Manufacturer").at(0).Value, ',');
    for (size_t Index = 1; Index < Manufacturer.size(); ++Index) {
      std::string Models = Manufacturer[0] + "." + Manufacturer[Index];
      for (const TEntry& Entry : Inf.Section(Models)) {
        std::vector<std::string> Parts = Split(Entry.Value, ',');
        if (Parts.size() >= 2 && Lower(Parts[1]) == Id) return Parts[0];
      }
    }
    return "";
  }
};

TEST_F(Package64Test, IsEightBitTextWithCrLfLineEnds) {
  ASSERT_FALSE(Text.empty()) << FQ_BRIDGEWICK_INF_X64;
  for (size_t At = 0; At < Text.size(); ++At) {
    unsigned char C = Text[At];
    ASSERT_TRUE(C == '\r' || C == '\n' || C == '\t' || (C >= 0x20 && C < 0x7F)) << "byte " << At;
    if (C == '\n') {
      ASSERT_TRUE(At > 0 && Text[At - 1] == '\r') << "bare LF at " << At;
    }
  }
}

TEST_F(Package64Test, VersionSectionNamesTheClassProviderDateVersionAndCatalog) {
  EXPECT_EQ(Inf.Value("Version", "Signature"), "\"$Windows NT$\"");
  EXPECT_EQ(Inf.Value("Version", "Class"), "USBDevice");
  EXPECT_EQ(Lower(Inf.Value("Version", "ClassGuid")), "{88bae032-5a81-49f0-bc3d-a4ff138216d6}");
  std::string Provider = Inf.Expand(Inf.Value("Version", "Provider"));
  EXPECT_EQ(Provider, "Flashquill");

  std::vector<std::string> DriverVer = Split(Inf.Value("Version", "DriverVer"), ',');
  ASSERT_EQ(DriverVer.size(), 2u) << Inf.Value("Version", "DriverVer");
  std::smatch Date;
  ASSERT_TRUE(std::regex_match(DriverVer[0], Date, std::regex(R"((\d\d)/(\d\d)/(\d{4}))"))) << DriverVer[0];
  EXPECT_TRUE(std::stoi(Date[1]) >= 1 && std::stoi(Date[1]) <= 12);
  EXPECT_TRUE(std::stoi(Date[2]) >= 1 && std::stoi(Date[2]) <= 31);
  EXPECT_GE(std::stoi(Date[3]), 2020);
  EXPECT_EQ(DriverVer[1], FQ_PROJECT_VERSION);
  EXPECT_TRUE(std::regex_match(DriverVer[1], std::regex(R"(\d+\.\d+\.\d+\.\d+)")));

  std::string Catalog = Inf.Value("Version", "CatalogFile");
  EXPECT_EQ(Lower(Catalog), "bridgewick.cat");
}

TEST_F(Package64Test, SetupFindsTheCableInAnNtAmd64ModelsSection) {
  ASSERT_EQ(Inf.Section("Manufacturer").size(), 1u);
  std::vector<std::string> Manufacturer = Split(Inf.Section("Manufacturer")[0].Value, ',');
  ASSERT_GE(Manufacturer.size(), 2u);
  bool Amd64 = false;
  for (size_t Index = 1; Index < Manufacturer.size(); ++Index)
    Amd64 = Amd64 || Lower(Manufacturer[Index]).rfind("ntamd64", 0) == 0;
  EXPECT_TRUE(Amd64) << "no NTamd64 decoration";
  // Only the decorated section may carry the cable: an undecorated one would
  // offer the x64 image to other architectures.
  EXPECT_FALSE(Inf.Has(Manufacturer[0]));
  EXPECT_FALSE(InstallSection().empty()) << "no model with " << Id;
}

TEST_F(Package64Test, InstallsADemandStartKernelServiceWithoutALoadOrderGroup) {
  std::string Install = InstallSection();
  ASSERT_FALSE(Install.empty());
  std::string Services = Install + ".NT.Services";
  if (!Inf.Has(Services)) Services = Install + ".NTamd64.Services";
  ASSERT_TRUE(Inf.Has(Services)) << Services;
  std::vector<std::string> AddService = Split(Inf.Value(Services, "AddService"), ',');
  ASSERT_EQ(AddService.size(), 3u);
  EXPECT_EQ(AddService[0], "Bridgewick");
  EXPECT_EQ(std::stoul(AddService[1], nullptr, 0) & 0x2, 0x2u) << "the service is not assigned to the device";
  const std::string& Service = AddService[2];
  EXPECT_EQ(std::stoul(Inf.Value(Service, "ServiceType"), nullptr, 0), 1u);   // kernel driver
  EXPECT_EQ(std::stoul(Inf.Value(Service, "StartType"), nullptr, 0), 3u);     // on demand
  EXPECT_EQ(std::stoul(Inf.Value(Service, "ErrorControl"), nullptr, 0), 1u);
  EXPECT_EQ(Inf.Value(Service, "LoadOrderGroup"), "");
  for (const TEntry& Entry : Inf.Section(Service)) EXPECT_NE(Entry.Key, "loadordergroup");
  EXPECT_EQ(Lower(Inf.Value(Service, "ServiceBinary")), "%12%\\bridgewick.sys");
  EXPECT_EQ(Inf.Value("DestinationDirs", "DefaultDestDir"), "12");
}

// Without a security descriptor every local user could open the cable and
// command the card; it goes into the device's hardware key.
TEST_F(Package64Test, OnlyTheSystemAdministratorsAndTheInteractiveUserMayOpenTheDevice) {
  ASSERT_TRUE(Inf.Has("Bridgewick_Install.NT.HW"));
  std::string Section = Inf.Value("Bridgewick_Install.NT.HW", "AddReg");
  ASSERT_FALSE(Section.empty());
  ASSERT_EQ(Inf.Section(Section).size(), 1u);
  EXPECT_EQ(Inf.Section(Section)[0].Value, "HKR,,Security,,\"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;IU)\"");
}

TEST_F(Package64Test, CopiesTheImageOnlyAndNeverItself) {
  std::string Install = InstallSection();
  std::string InstallNt = Inf.Has(Install + ".NTamd64") ? Install + ".NTamd64" : Install + ".NT";
  ASSERT_TRUE(Inf.Has(InstallNt));
  std::vector<std::string> Copied;
  for (const TEntry& Entry : Inf.Section(InstallNt)) {
    EXPECT_NE(Entry.Key, "copyinf") << "the package copies itself";
    if (Entry.Key != "copyfiles") continue;
    for (const std::string& List : Split(Entry.Value, ',')) {
      if (!List.empty() && List.front() == '@') {
        Copied.push_back(List.substr(1));
        continue;
      }
      for (const TEntry& File : Inf.Section(List)) Copied.push_back(Split(File.Value, ',')[0]);
    }
  }
  EXPECT_EQ(Copied, std::vector<std::string>{"Bridgewick.sys"});
  ASSERT_EQ(Inf.Section("SourceDisksFiles").size(), 1u);
  EXPECT_EQ(Inf.Section("SourceDisksFiles")[0].Key, "bridgewick.sys");
  EXPECT_EQ(Split(Inf.Section("SourceDisksFiles")[0].Value, ',')[0], "1");
  EXPECT_FALSE(Inf.Value("SourceDisksNames", "1").empty());
}

TEST_F(Package64Test, HasNothingSetupNoLongerAccepts) {
  for (const auto& [Name, Entries] : Inf.Sections()) {
    for (const TEntry& Entry : Entries) {
      EXPECT_NE(Entry.Key, "layoutfile") << "[" << Name << "]";
      EXPECT_EQ(Lower(Entry.Value).find(".inf"), std::string::npos) << "[" << Name << "] " << Entry.Value;
    }
    // Settings of other systems' setup: a 9x loader, a copy into INF.
    EXPECT_NE(Name, "precopysection");
  }
  EXPECT_EQ(Lower(Text).find("ntmpdriver"), std::string::npos);
  EXPECT_EQ(Lower(Text).find("*ntkern"), std::string::npos);
}

}  // namespace
