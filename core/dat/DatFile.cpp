// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/dat/DatFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <tuple>

#include "core/dat/DatXml.h"

namespace {

bool ParseHex(std::string_view Text, uint8_t* Out, size_t Bytes) {
  if (Text.size() != Bytes * 2) return false;
  for (size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    int Digit = -1;
    if (C >= '0' && C <= '9') Digit = C - '0';
    if (C >= 'a' && C <= 'f') Digit = C - 'a' + 10;
    if (C >= 'A' && C <= 'F') Digit = C - 'A' + 10;
    if (Digit < 0) return false;
    if (I % 2 == 0)
      Out[I / 2] = static_cast<uint8_t>(Digit << 4);
    else
      Out[I / 2] = static_cast<uint8_t>(Out[I / 2] | Digit);
  }
  return true;
}

bool ParseSize(std::string_view Text, uint64_t& Size) {
  if (Text.empty() || Text.size() > 15) return false;
  Size = 0;
  for (char C : Text) {
    if (C < '0' || C > '9') return false;
    Size = Size * 10 + static_cast<uint64_t>(C - '0');
  }
  return true;
}

std::string Normalised(const std::string& Text, bool DropBrackets) {
  std::string Out;
  int Depth = 0;
  for (unsigned char C : Text) {
    if (DropBrackets && (C == '(' || C == '[')) ++Depth;
    if (DropBrackets && (C == ')' || C == ']') && Depth > 0) {
      --Depth;
      continue;
    }
    if (Depth > 0) continue;
    if (C >= 'a' && C <= 'z') Out += static_cast<char>(C - 'a' + 'A');
    else if ((C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9')) Out += static_cast<char>(C);
  }
  return Out;
}

// Warnings of one kind are said once with a count, so that a DAT full of
// bad entries gives a few lines, not thousands.
constexpr size_t ShownPerKind = 3;

}  // namespace

bool TitleMatchesName(const std::string& Title, const std::string& Name) {
  const std::string T = Normalised(Title, false), N = Normalised(Name, true);
  if (T.empty() || N.empty()) return false;
  return N.compare(0, T.size(), T) == 0 || T.compare(0, N.size(), N) == 0;
}

// Builds a TDatFile from the parser's events.
class TDatBuilder : public TXmlHandler {
public:
  explicit TDatBuilder(TDatFile& Dat) : FDat(Dat) {}

  void StartElement(std::string_view Name, const TAttributes& Attributes, uint64_t Line) override {
    ++FDepth;
    if (FDepth == 1) {
      FRoot = std::string(Name);
      return;
    }
    if (FRoot != "datafile") return;
    if (FDepth == 2 && (Name == "game" || Name == "machine")) {
      FInGame = true;
      FGame.clear();
      for (const auto& [Key, Value] : Attributes)
        if (Key == "name") FGame = std::string(Value);
    } else if (FDepth == 3 && FInGame && Name == "rom") {
      AddRom(Attributes, Line);
    }
  }

  void EndElement(std::string_view Name) override {
    if (FDepth == 2 && (Name == "game" || Name == "machine")) FInGame = false;
    --FDepth;
  }

  const std::string& Root() const { return FRoot; }

  void Finish() {
    const auto Say = [this](const std::vector<std::string>& Lines, const std::string& Kind) {
      for (size_t I = 0; I < Lines.size() && I < ShownPerKind; ++I) FDat.FWarnings.push_back(Lines[I]);
      if (Lines.size() > ShownPerKind)
        FDat.FWarnings.push_back(FDat.FFileName + ": " + std::to_string(Lines.size() - ShownPerKind) + " more " + Kind +
                                 " left out");
    };
    Say(FBad, "entries that cannot be used");
    Say(FDuplicates, "duplicate entries");
  }

private:
  void AddRom(const TAttributes& Attributes, uint64_t Line) {
    TDatEntry Entry;
    Entry.Game = FGame;
    Entry.Line = Line;
    std::string_view Size, Crc, Sha1, Md5;
    bool HasSize = false, HasCrc = false, HasSha1 = false, HasMd5 = false;
    for (const auto& [Key, Value] : Attributes) {
      if (Key == "name") Entry.Rom = std::string(Value);
      else if (Key == "size") Size = Value, HasSize = true;
      else if (Key == "crc") Crc = Value, HasCrc = true;
      else if (Key == "sha1") Sha1 = Value, HasSha1 = true;
      else if (Key == "md5") Md5 = Value, HasMd5 = true;
    }
    if (Entry.Game.empty()) Entry.Game = Entry.Rom;
    std::string Why;
    uint8_t Crc32[4] = {}, Md5Bytes[16] = {};
    if (!HasSize) Why = "no size";
    else if (!ParseSize(Size, Entry.Size)) Why = "size \"" + std::string(Size) + "\" is not a number of bytes";
    else if (!HasCrc) Why = "no crc";
    else if (!ParseHex(Crc, Crc32, 4)) Why = "crc \"" + std::string(Crc) + "\" is not 8 hexadecimal digits";
    else if (!HasSha1) Why = "no sha1";
    else if (!ParseHex(Sha1, Entry.Sha1.data(), 20)) Why = "sha1 \"" + std::string(Sha1) + "\" is not 40 hexadecimal digits";
    else if (HasMd5 && !ParseHex(Md5, Md5Bytes, 16)) Why = "md5 \"" + std::string(Md5) + "\" is not 32 hexadecimal digits";
    else if (Entry.Game.empty()) Why = "no name";
    if (!Why.empty()) {
      FBad.push_back(FDat.FFileName + ": line " + std::to_string(Line) + ": the rom \"" + Entry.Rom + "\" has " + Why +
                     "; left out");
      return;
    }
    Entry.Crc32 = uint32_t(Crc32[0]) << 24 | uint32_t(Crc32[1]) << 16 | uint32_t(Crc32[2]) << 8 | Crc32[3];
    // The same dump under the same name twice adds nothing.
    bool Seen = false;
    for (auto [It, Last] = FDat.FByCrc.equal_range(Entry.Crc32); It != Last && !Seen; ++It) {
      const TDatEntry& Other = FDat.FEntries[It->second];
      Seen = Other.Size == Entry.Size && Other.Sha1 == Entry.Sha1 && Other.Rom == Entry.Rom && Other.Game == Entry.Game;
    }
    if (Seen) {
      FDuplicates.push_back(FDat.FFileName + ": line " + std::to_string(Line) + ": \"" + Entry.Game +
                            "\" is listed again; the duplicate is left out");
      return;
    }
    const size_t Index = FDat.FEntries.size();
    FDat.FByCrc.emplace(Entry.Crc32, Index);
    FDat.FBySize.emplace(Entry.Size, Index);
    FDat.FEntries.push_back(std::move(Entry));
  }

  TDatFile& FDat;
  int FDepth = 0;
  std::string FRoot;
  bool FInGame = false;
  std::string FGame;
  std::vector<std::string> FBad, FDuplicates;
};

bool TDatFile::Load(const std::string& FileName, std::string& Error) {
  *this = TDatFile{};
  FFileName = FileName;
  namespace fs = std::filesystem;
  std::error_code Code;
  const fs::file_status Status = fs::status(FileName, Code);
  if (Code || !fs::exists(Status)) {
    Error = FileName + ": no such file";
    return false;
  }
  // A FIFO or a device would block or never end.
  if (!fs::is_regular_file(Status)) {
    Error = FileName + ": not a regular file";
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(std::fopen(FileName.c_str(), "rb"), &std::fclose);
  if (!File) {
    Error = FileName + ": cannot be opened (" + std::strerror(errno) + ")";
    return false;
  }
  std::string Text;
  std::error_code SizeError;
  const uintmax_t Expected = fs::file_size(FileName, SizeError);
  if (!SizeError) Text.reserve(static_cast<size_t>(Expected));
  char Buffer[1 << 16];
  for (size_t Got; (Got = std::fread(Buffer, 1, sizeof Buffer, File.get())) > 0;) Text.append(Buffer, Got);
  if (std::ferror(File.get())) {
    Error = FileName + ": cannot be read to its end";
    return false;
  }
  if (Text.compare(0, 4, "PK\x03\x04") == 0) {
    Error = FileName + ": a zip archive; unpack the DAT file from it and give that";
    return false;
  }

  TDatBuilder Builder(*this);
  // About one entry per 250 bytes in the published files.
  FByCrc.reserve(Text.size() / 250);
  FBySize.reserve(Text.size() / 250);
  FEntries.reserve(Text.size() / 250);
  std::string XmlError;
  if (!ParseXml(Text, Builder, XmlError)) {
    Error = FileName + ": not a DAT file, its XML is broken (" + XmlError + ")";
    return false;
  }
  if (Builder.Root() != "datafile") {
    Error = FileName + ": not a DAT file (its XML holds no <datafile>" +
            (Builder.Root().empty() ? std::string() : ", but <" + Builder.Root() + ">") + ")";
    return false;
  }
  Builder.Finish();
  if (FEntries.empty()) {
    Error = FileName + ": a DAT file without one usable entry";
    for (const std::string& Warning : FWarnings) Error += "\n" + Warning;
    return false;
  }
  return true;
}

const TDatEntry* TDatFile::FindExact(const TGameHashes& Hashes) const {
  const auto [First, Last] = FByCrc.equal_range(Hashes.Crc32);
  const TDatEntry* Best = nullptr;
  for (auto It = First; It != Last; ++It) {
    const TDatEntry& Entry = FEntries[It->second];
    // The first in the file, whatever order the index keeps.
    if (Entry.Size == Hashes.Size && Entry.Sha1 == Hashes.Sha1 && (!Best || &Entry < Best)) Best = &Entry;
  }
  return Best;
}

std::vector<const TDatEntry*> TDatFile::FindByTitle(const std::string& Title, uint64_t Size) const {
  std::vector<const TDatEntry*> Found;
  const auto [First, Last] = FBySize.equal_range(Size);
  for (auto It = First; It != Last; ++It)
    if (TitleMatchesName(Title, FEntries[It->second].Game)) Found.push_back(&FEntries[It->second]);
  std::sort(Found.begin(), Found.end());
  return Found;
}
