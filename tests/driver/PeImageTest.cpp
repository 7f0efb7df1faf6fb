// SPDX-License-Identifier: GPL-3.0-or-later
// The built Bridgewick.sys files as Windows would load them: the x64 image
// (PE32+) and the x86 image (PE32), native, entered at DriverEntry,
// importing only from the kernel, the HAL and the USB driver library; the
// x64 one with its version resource, the x86 one with stdcall entry points.
// Read with a small PE reader of our own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TSection {
  std::string Name;
  uint32_t VirtualAddress, VirtualSize, RawOffset, RawSize, Characteristics;
};

class TPeImage {
public:
  explicit TPeImage(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    FBytes.assign(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
  }

  bool Parse(std::string& Error) {
    if (FBytes.size() < 0x40 || U16(0) != 0x5A4D) return Fail(Error, "no MZ header");
    FPe = U32(0x3C);
    if (FPe + 24 > FBytes.size() || U32(FPe) != 0x00004550) return Fail(Error, "no PE signature");
    Machine = U16(FPe + 4);
    uint16_t Sections = U16(FPe + 6);
    uint16_t OptionalSize = U16(FPe + 20);
    Characteristics = U16(FPe + 22);
    size_t Optional = FPe + 24;
    Magic = U16(Optional);
    if (Magic != 0x20B && Magic != 0x10B) return Fail(Error, "neither a PE32 nor a PE32+ image");
    Wide = Magic == 0x20B;
    EntryPoint = U32(Optional + 16);
    ImageBase = Wide ? U64(Optional + 24) : U32(Optional + 28);
    Subsystem = U16(Optional + 68);
    // The data directories follow the header fields, which are 16 bytes
    // longer in PE32+.
    size_t Count = Optional + (Wide ? 108 : 92);
    uint32_t Directories = U32(Count);
    for (uint32_t Index = 0; Index < Directories && Index < 16; ++Index)
      FDirectories.push_back({U32(Count + 4 + Index * 8), U32(Count + 8 + Index * 8)});
    size_t Table = Optional + OptionalSize;
    for (uint16_t Index = 0; Index < Sections; ++Index) {
      size_t At = Table + Index * 40;
      if (At + 40 > FBytes.size()) return Fail(Error, "section table cut short");
      std::string Name(reinterpret_cast<const char*>(&FBytes[At]), strnlen(reinterpret_cast<const char*>(&FBytes[At]), 8));
      SectionList.push_back({Name, U32(At + 12), U32(At + 8), U32(At + 20), U32(At + 16), U32(At + 36)});
    }
    return true;
  }

  // File offset of a relative virtual address; 0 when outside every section.
  size_t Offset(uint32_t Rva) const {
    for (const TSection& Section : SectionList)
      if (Rva >= Section.VirtualAddress && Rva < Section.VirtualAddress + std::max(Section.VirtualSize, Section.RawSize))
        return Section.RawOffset + (Rva - Section.VirtualAddress);
    return 0;
  }
  std::pair<uint32_t, uint32_t> Directory(size_t Index) const {
    return Index < FDirectories.size() ? FDirectories[Index] : std::pair<uint32_t, uint32_t>{0, 0};
  }

  std::string CString(uint32_t Rva) const {
    size_t At = Offset(Rva);
    std::string Text;
    while (At != 0 && At < FBytes.size() && FBytes[At] != 0) Text += char(FBytes[At++]);
    return Text;
  }

  // DLL name -> imported routine names.
  std::map<std::string, std::vector<std::string>> Imports() const {
    std::map<std::string, std::vector<std::string>> Result;
    auto [Rva, Size] = Directory(1);
    if (Rva == 0) return Result;
    for (size_t At = Offset(Rva); At != 0 && At + 20 <= FBytes.size(); At += 20) {
      uint32_t Lookup = U32(At), Name = U32(At + 12), First = U32(At + 16);
      if (Name == 0) break;
      auto& Routines = Result[CString(Name)];
      size_t ThunkSize = Wide ? 8 : 4;
      for (size_t Thunk = Offset(Lookup ? Lookup : First); Thunk != 0 && Thunk + ThunkSize <= FBytes.size();
           Thunk += ThunkSize) {
        uint64_t Entry = Wide ? U64(Thunk) : U32(Thunk);
        if (Entry == 0) break;
        bool ByOrdinal = Wide ? Entry >> 63 : Entry >> 31;
        Routines.push_back(ByOrdinal ? "#" + std::to_string(Entry & 0xFFFF) : CString(uint32_t(Entry & 0x7FFFFFFF) + 2));
      }
    }
    return Result;
  }

  // The resource data of type/name/language, as file offset and size.
  bool Resource(uint32_t Type, uint32_t Name, uint32_t Language, size_t& At, uint32_t& Size) const {
    auto [Rva, DirSize] = Directory(2);
    if (Rva == 0) return false;
    size_t Root = Offset(Rva);
    auto Find = [&](size_t Dir, uint32_t Id, uint32_t& Child) {
      uint16_t Named = U16(Dir + 12), Ids = U16(Dir + 14);
      for (uint32_t Index = Named; Index < uint32_t(Named + Ids); ++Index) {
        size_t Entry = Dir + 16 + Index * 8;
        if (U32(Entry) == Id) {
          Child = U32(Entry + 4);
          return true;
        }
      }
      return false;
    };
    uint32_t Child;
    if (!Find(Root, Type, Child) || !(Child & 0x80000000)) return false;
    if (!Find(Root + (Child & 0x7FFFFFFF), Name, Child) || !(Child & 0x80000000)) return false;
    if (!Find(Root + (Child & 0x7FFFFFFF), Language, Child) || (Child & 0x80000000)) return false;
    size_t Data = Root + Child;
    At = Offset(U32(Data));
    Size = U32(Data + 4);
    return At != 0;
  }

  uint16_t U16(size_t At) const { return At + 2 <= FBytes.size() ? uint16_t(FBytes[At] | FBytes[At + 1] << 8) : 0; }
  uint32_t U32(size_t At) const { return uint32_t(U16(At)) | uint32_t(U16(At + 2)) << 16; }
  uint64_t U64(size_t At) const { return uint64_t(U32(At)) | uint64_t(U32(At + 4)) << 32; }
  const std::vector<uint8_t>& Bytes() const { return FBytes; }

  bool Wide = false;
  uint16_t Machine = 0, Characteristics = 0, Magic = 0, Subsystem = 0;
  uint32_t EntryPoint = 0;
  uint64_t ImageBase = 0;
  std::vector<TSection> SectionList;

private:
  static bool Fail(std::string& Error, const char* What) {
    Error = What;
    return false;
  }
  std::vector<uint8_t> FBytes;
  size_t FPe = 0;
  std::vector<std::pair<uint32_t, uint32_t>> FDirectories;
};

// One node of a version-information block: key, value bytes, children.
struct TVersionNode {
  std::u16string Key;
  uint16_t Type = 0;
  std::vector<uint8_t> Value;
  std::vector<TVersionNode> Children;
};

bool ReadVersionNode(const TPeImage& Image, size_t At, size_t End, TVersionNode& Node, size_t& Next) {
  uint16_t Length = Image.U16(At), ValueLength = Image.U16(At + 2);
  Node.Type = Image.U16(At + 4);
  if (Length < 6 || At + Length > End) return false;
  size_t Cursor = At + 6;
  while (Cursor + 2 <= At + Length && Image.U16(Cursor) != 0) {
    Node.Key += char16_t(Image.U16(Cursor));
    Cursor += 2;
  }
  Cursor = (Cursor + 2 + 3) & ~size_t(3);
  size_t ValueBytes = Node.Type == 1 ? ValueLength * 2u : ValueLength;
  if (Cursor + ValueBytes > At + Length) ValueBytes = At + Length > Cursor ? At + Length - Cursor : 0;
  Node.Value.assign(Image.Bytes().begin() + Cursor, Image.Bytes().begin() + Cursor + ValueBytes);
  Cursor = (Cursor + ValueBytes + 3) & ~size_t(3);
  while (Cursor + 6 <= At + Length) {
    TVersionNode Child;
    size_t After;
    if (!ReadVersionNode(Image, Cursor, At + Length, Child, After)) return false;
    Node.Children.push_back(std::move(Child));
    Cursor = (After + 3) & ~size_t(3);
  }
  Next = At + Length;
  return true;
}

std::u16string Utf16Value(const TVersionNode& Node) {
  std::u16string Text;
  for (size_t At = 0; At + 1 < Node.Value.size(); At += 2) {
    char16_t Unit = char16_t(Node.Value[At] | Node.Value[At + 1] << 8);
    if (Unit == 0) break;
    Text += Unit;
  }
  return Text;
}

const TVersionNode* Child(const TVersionNode& Node, const std::u16string& Key) {
  for (const TVersionNode& Each : Node.Children)
    if (Each.Key == Key) return &Each;
  return nullptr;
}

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return char(std::tolower(C)); });
  return Text;
}

// One built image and what it must look like.
struct TImageCase {
  const char* Name;
  const char* Path;
  const char* Map;
  uint16_t Machine;
  uint16_t Magic;
  // DriverEntry as the linker's map names it.
  const char* EntrySymbol;
};

std::vector<TImageCase> BuiltImages() {
  std::vector<TImageCase> Images;
#ifdef FQ_BRIDGEWICK_SYS
  Images.push_back({"x64", FQ_BRIDGEWICK_SYS, FQ_BRIDGEWICK_MAP, 0x8664, 0x20B, "DriverEntry"});
#endif
#ifdef FQ_BRIDGEWICK_SYS_X86
  Images.push_back({"x86", FQ_BRIDGEWICK_SYS_X86, FQ_BRIDGEWICK_MAP_X86, 0x014C, 0x10B, "DriverEntry@8"});
#endif
  return Images;
}

// Map lines that give a routine's address: "   0x<address>   <symbol>".
std::map<std::string, uint64_t> MapSymbols(const std::string& Path) {
  std::map<std::string, uint64_t> Symbols;
  std::ifstream Map(Path);
  std::regex Line(R"(^\s+0x([0-9a-fA-F]+)\s+(\S.*?)\s*$)");
  for (std::string Text; std::getline(Map, Text);) {
    std::smatch Match;
    if (std::regex_match(Text, Match, Line)) Symbols[Match[2]] = std::stoull(Match[1], nullptr, 16);
  }
  return Symbols;
}

class PeImageTest : public ::testing::TestWithParam<TImageCase> {
protected:
  void SetUp() override {
    std::string Error;
    ASSERT_TRUE(Image.Parse(Error)) << GetParam().Path << ": " << Error;
  }
  TPeImage Image{GetParam().Path};
};
INSTANTIATE_TEST_SUITE_P(Builds, PeImageTest, ::testing::ValuesIn(BuiltImages()),
                         [](const ::testing::TestParamInfo<TImageCase>& Info) { return std::string(Info.param.Name); });

TEST_P(PeImageTest, IsANativeImageEnteredAtDriverEntry) {
  EXPECT_EQ(Image.Machine, GetParam().Machine);
  EXPECT_EQ(Image.Magic, GetParam().Magic) << "PE32 or PE32+";
  EXPECT_EQ(Image.Subsystem, 1) << "native";
  EXPECT_TRUE(Image.Characteristics & 0x0002) << "executable image";

  // The linker's map tells where DriverEntry landed.
  auto Symbols = MapSymbols(GetParam().Map);
  ASSERT_FALSE(Symbols.empty()) << GetParam().Map;
  auto Entry = Symbols.find(GetParam().EntrySymbol);
  ASSERT_NE(Entry, Symbols.end()) << GetParam().EntrySymbol << " not in the map";
  EXPECT_EQ(Image.ImageBase + Image.EntryPoint, Entry->second);
}

TEST_P(PeImageTest, ImportsOnlyFromTheKernelTheHalAndTheUsbLibrary) {
  auto Imports = Image.Imports();
  ASSERT_FALSE(Imports.empty());
  const std::set<std::string> Allowed = {"ntoskrnl.exe", "hal.dll", "usbd.sys"};
  for (auto& [Dll, Routines] : Imports) EXPECT_TRUE(Allowed.count(Lower(Dll))) << "imports from " << Dll;
  auto Kernel = Imports.find("ntoskrnl.exe");
  ASSERT_NE(Kernel, Imports.end());
  for (const char* Routine : {"IoCreateDevice", "IoAttachDeviceToDeviceStack", "IoRegisterDeviceInterface",
                              "IofCallDriver", "IofCompleteRequest", "KeWaitForSingleObject", "PoCallDriver"})
    EXPECT_NE(std::find(Kernel->second.begin(), Kernel->second.end(), Routine), Kernel->second.end()) << Routine;
  auto Usb = Imports.find("USBD.SYS");
  ASSERT_NE(Usb, Imports.end());
  EXPECT_FALSE(Usb->second.empty());
}

TEST_P(PeImageTest, PutsPageableAndInitialisationCodeInTheirOwnSections) {
  std::set<std::string> Names;
  for (auto& Section : Image.SectionList) Names.insert(Section.Name);
  EXPECT_TRUE(Names.count("PAGE"));
  EXPECT_TRUE(Names.count("INIT"));
  for (auto& Section : Image.SectionList) {
    if (Section.Name != "INIT") continue;
    EXPECT_TRUE(Image.EntryPoint >= Section.VirtualAddress && Image.EntryPoint < Section.VirtualAddress + Section.VirtualSize)
        << "DriverEntry is discarded after initialisation";
  }
}

// The x86 kernel calls its drivers with stdcall; a routine built with the
// default convention would leave the stack unbalanced on its first call.
TEST_P(PeImageTest, EveryRoutineTheKernelCallsIsStdcallOnX86) {
  if (GetParam().Magic != 0x10B) GTEST_SKIP() << "one calling convention on x64";
  auto Symbols = MapSymbols(GetParam().Map);
  const std::pair<const char*, int> Routines[] = {
      {"AddDevice", 8},         {"DriverUnload", 4},         {"DispatchCreate", 8},      {"DispatchClose", 8},
      {"DispatchRead", 8},      {"DispatchWrite", 8},        {"DispatchDeviceControl", 8}, {"DispatchSystemControl", 8},
      {"DispatchPower", 8},     {"DispatchPnp", 8},          {"StageCompletion", 12},    {"SingleCompletion", 12},
      {"ForwardCompletion", 12}};
  for (auto& [Routine, Bytes] : Routines) {
    bool Found = false;
    std::string Prefix = std::string(Routine) + "(";
    std::string Suffix = ")@" + std::to_string(Bytes);
    for (auto& [Symbol, Address] : Symbols)
      Found = Found || (Symbol.rfind(Prefix, 0) == 0 && Symbol.size() > Suffix.size() &&
                        Symbol.compare(Symbol.size() - Suffix.size(), Suffix.size(), Suffix) == 0);
    EXPECT_TRUE(Found) << Routine << " is not stdcall with " << Bytes << " bytes of arguments";
  }
  auto Imports = Image.Imports();
  auto Hal = Imports.find("HAL.dll");
  ASSERT_NE(Hal, Imports.end()) << "the x86 spin locks live in the HAL";
  EXPECT_NE(std::find(Hal->second.begin(), Hal->second.end(), "KfAcquireSpinLock"), Hal->second.end());
}

class PeVersionTest : public ::testing::Test {
protected:
  void SetUp() override {
#ifndef FQ_BRIDGEWICK_SYS
    GTEST_SKIP() << "no x64 image built";
#else
    std::string Error;
    ASSERT_TRUE(Image.Parse(Error)) << FQ_BRIDGEWICK_SYS << ": " << Error;
#endif
  }
#ifdef FQ_BRIDGEWICK_SYS
  TPeImage Image{FQ_BRIDGEWICK_SYS};
#else
  TPeImage Image{""};
#endif
};

// The x64 image only: the x86 one carries no version block.
TEST_F(PeVersionTest, CarriesTheVersionResource) {
  size_t At;
  uint32_t Size;
  ASSERT_TRUE(Image.Resource(16, 1, 0, At, Size)) << "version resource 1, language neutral";
  TVersionNode Root;
  size_t Next;
  ASSERT_TRUE(ReadVersionNode(Image, At, At + Size, Root, Next));
  EXPECT_EQ(Root.Key, u"VS_VERSION_INFO");
  ASSERT_EQ(Root.Value.size(), 52u);
  auto Fixed = [&](size_t Offset) {
    return uint32_t(Root.Value[Offset] | Root.Value[Offset + 1] << 8 | Root.Value[Offset + 2] << 16 |
                    Root.Value[Offset + 3] << 24);
  };
  EXPECT_EQ(Fixed(0), 0xFEEF04BDu);
  EXPECT_EQ(Fixed(8), 0x00030001u) << "file version 3.1";
  EXPECT_EQ(Fixed(12), 0x000007DAu) << "file version .0.2010";
  EXPECT_EQ(Fixed(16), 0x00030001u) << "product version 3.1";
  EXPECT_EQ(Fixed(20), 0x000007DAu);
  EXPECT_EQ(Fixed(28) & 0x28, 0x28u) << "private and special build";

  const TVersionNode* Strings = Child(Root, u"StringFileInfo");
  ASSERT_NE(Strings, nullptr);
  const TVersionNode* Table = Child(*Strings, u"000004b0");
  ASSERT_NE(Table, nullptr) << "language neutral, code page 1200";
  const std::pair<std::u16string, std::u16string> Expected[] = {
      {u"FileVersion", u"3, 1, 0, 2010"},
      {u"ProductVersion", u"3, 1, 0, 2010"},
      {u"PrivateBuild", u"New Version 3.0"},
      {u"SpecialBuild", u"New Version 3.0"},
  };
  for (auto& [Key, Value] : Expected) {
    const TVersionNode* Entry = Child(*Table, Key);
    ASSERT_NE(Entry, nullptr) << std::string(Key.begin(), Key.end());
    EXPECT_EQ(Utf16Value(*Entry), Value) << std::string(Key.begin(), Key.end());
  }

  const TVersionNode* Var = Child(Root, u"VarFileInfo");
  ASSERT_NE(Var, nullptr);
  const TVersionNode* Translation = Child(*Var, u"Translation");
  ASSERT_NE(Translation, nullptr);
  EXPECT_EQ(Translation->Value, (std::vector<uint8_t>{0x00, 0x00, 0xB0, 0x04}));
}

}  // namespace
