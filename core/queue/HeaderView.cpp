// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/queue/HeaderView.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/queue/GameFileInfo.h"
#include "core/queue/HeaderCheck.h"
#include "core/support/FileData.h"
#include "core/support/FileSize.h"

namespace {

constexpr uint32_t ColourFlagOffset = 0x143;
constexpr uint32_t ManufacturerOffset = 0x13F;
constexpr uint32_t GlobalChecksumOffset = 0x14E;
// Two pages of the card: the most a game file can sensibly be.
constexpr int64_t MaxWholeGame = 0x800000;

std::string Hex(unsigned Value, int Digits) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%0*X", Digits, Value);
  return Text;
}

// Bytes up to the first zero, trailing blanks kept as the header has them.
std::string BytesToZero(const uint8_t* Data, size_t Count) {
  size_t End = 0;
  while (End < Count && Data[End] != 0) ++End;
  return std::string(reinterpret_cast<const char*>(Data), End);
}

bool IsCodeCharacter(uint8_t Byte) { return (Byte >= 'A' && Byte <= 'Z') || (Byte >= '0' && Byte <= '9'); }

std::string EntryText(const uint8_t* Entry) {
  // The usual entry: a nop and a jump over the header.
  if (Entry[0] == 0x00 && Entry[1] == 0xC3) return "nop; jp " + Hex(Entry[2] | Entry[3] << 8, 4);
  if (Entry[0] == 0xC3) return "jp " + Hex(Entry[1] | Entry[2] << 8, 4);
  if (Entry[0] == 0x18) return "jr " + std::to_string(static_cast<int8_t>(Entry[1]));
  std::string Text;
  for (int I = 0; I < 4; ++I) Text += (I ? " " : "") + Hex(Entry[I], 2).substr(2);
  return Text + " (no jump)";
}

std::string SizeText(int64_t Bytes) {
  if (Bytes < 0) return "unknown";
  if (Bytes == 0) return "none";
  if (Bytes % (1024 * 1024) == 0) return std::to_string(Bytes / (1024 * 1024)) + " MiB";
  if (Bytes % 1024 == 0) return std::to_string(Bytes / 1024) + " KiB";
  return std::to_string(Bytes) + " bytes";
}

}  // namespace

uint16_t GlobalChecksum(const uint8_t* Data, int64_t Size) {
  uint16_t Sum = 0;
  for (int64_t I = 0; I < Size; ++I)
    if (I != GlobalChecksumOffset && I != GlobalChecksumOffset + 1) Sum = static_cast<uint16_t>(Sum + Data[I]);
  return Sum;
}

const char* ColourSupportText(TColourSupport Colour) {
  switch (Colour) {
    case TColourSupport::Both: return "works on both";
    case TColourSupport::ColourOnly: return "colour only";
    default: return "none";
  }
}

bool DecodeGameHeader(const uint8_t* H, int64_t Count, int64_t Size, TGameHeader& Header) {
  Header = TGameHeader{};
  if (Count < GameHeaderEnd) return false;
  Header.FileSize = Size;
  for (int I = 0; I < 4; ++I) Header.Entry[I] = H[0x100 + I];
  Header.EntryText = EntryText(Header.Entry);
  Header.LogoValid = true;
  for (uint32_t I = 0; I < HeaderLogoSize; ++I)
    Header.LogoValid = Header.LogoValid && H[HeaderLogoOffset + I] == HeaderLogo[I];

  Header.ColourFlag = H[ColourFlagOffset];
  if (Header.ColourFlag == 0x80) Header.Colour = TColourSupport::Both;
  if (Header.ColourFlag == 0xC0) Header.Colour = TColourSupport::ColourOnly;
  size_t TitleLength = 16;
  if (Header.Colour != TColourSupport::None) {
    // The flag takes the title's last byte. Colour games may carry a
    // four-character manufacturer code before it, which shortens the title
    // to eleven bytes; it is taken for one only when all four are upper-case
    // letters or digits.
    TitleLength = 15;
    bool Code = true;
    for (uint32_t I = 0; I < 4; ++I) Code = Code && IsCodeCharacter(H[ManufacturerOffset + I]);
    if (Code) {
      TitleLength = 11;
      Header.Manufacturer.assign(reinterpret_cast<const char*>(H + ManufacturerOffset), 4);
    }
  }
  Header.Title = BytesToZero(H + 0x134, TitleLength);

  Header.NewLicensee.assign(reinterpret_cast<const char*>(H + 0x144), 2);
  Header.OldLicensee = H[0x14B];
  Header.Licensee = LicenseeName(Header.OldLicensee, Header.NewLicensee);
  Header.SgbFlag = H[0x146];
  Header.SgbSupport = Header.SgbFlag == 0x03;
  Header.Cartridge = CartridgeTypeOf(H[0x147]);
  Header.RomSizeCode = H[0x148];
  Header.RomSize = HeaderRomSize(Header.RomSizeCode);
  Header.RamSizeCode = H[0x149];
  Header.RamSize = HeaderRamSize(Header.RamSizeCode);
  Header.Destination = H[0x14A];
  Header.Version = H[0x14C];
  Header.HeaderChecksum = H[HeaderChecksumOffset];
  Header.HeaderChecksumComputed = ::HeaderChecksum(H);
  Header.GlobalChecksum = static_cast<uint16_t>(H[GlobalChecksumOffset] << 8 | H[GlobalChecksumOffset + 1]);
  if (Count >= Size) Header.GlobalChecksumComputed = GlobalChecksum(H, Size);
  Header.Problems = CheckHeaderBytes(H, Count, Size);
  return true;
}

bool DecodeGameFile(const std::string& FileName, TGameHeader& Header, std::string& Error) {
  // A FIFO or a device would block or never end.
  std::error_code Code;
  if (std::filesystem::exists(FileName, Code) && !std::filesystem::is_regular_file(FileName, Code)) {
    Error = FileName + ": not a regular file";
    return false;
  }
  // Anything larger than a card holds gets its header read, not all of it.
  const int64_t Size = FileSizeOf(FileName);
  int64_t Count = Size > MaxWholeGame ? GameHeadReadSize : -1;
  const auto Data = ReadFileData(FileName, Count);
  if (!Data && Count < 0) {
    Error = FileName + ": cannot be read";
    return false;
  }
  if (!DecodeGameHeader(Data.get(), Data ? Count : 0, Data ? std::max(Count, Size) : 0, Header)) {
    Error = FileName + " is too short to hold a Game Boy header";
    return false;
  }
  return true;
}

std::vector<std::string> HeaderViewLines(const TGameHeader& Header,
                                         const std::function<std::string(const std::string&)>& ShowBytes) {
  std::vector<std::string> Lines;
  const auto Add = [&Lines](const std::string& Field, const std::string& Value) { Lines.push_back(Field + ": " + Value); };
  Add("Title", "\"" + ShowBytes(Header.Title) + "\"");
  if (!Header.Manufacturer.empty()) Add("Manufacturer code", ShowBytes(Header.Manufacturer));
  Add("Entry point", Header.EntryText);
  Add("Logo", Header.LogoValid ? "valid" : "NOT valid: a real console will not start this game");
  Add("Colour", std::string(ColourSupportText(Header.Colour)) + " (" + Hex(Header.ColourFlag, 2) + ")");
  Add("Super Game Boy", std::string(Header.SgbSupport ? "yes" : "no") + " (" + Hex(Header.SgbFlag, 2) + ")");
  const std::string Code = Header.OldLicensee == 0x33 ? "new code \"" + ShowBytes(Header.NewLicensee) + "\""
                                                      : "old code " + Hex(Header.OldLicensee, 2);
  Add("Licensee", Header.Licensee + " (" + Code + ")");
  std::string Parts;
  if (Header.Cartridge.Known && Header.Cartridge.Name != Header.Cartridge.Mapper) {
    Parts = "mapper " + Header.Cartridge.Mapper;
    if (Header.Cartridge.Ram) Parts += ", RAM";
    if (Header.Cartridge.Battery) Parts += ", battery";
    if (Header.Cartridge.Timer) Parts += ", timer";
    if (Header.Cartridge.Rumble) Parts += ", rumble";
    if (Header.Cartridge.Sensor) Parts += ", sensor";
    Parts = ": " + Parts;
  }
  Add("Cartridge type", Hex(Header.Cartridge.Code, 2) + " " + Header.Cartridge.Name + Parts);
  Add("ROM size", SizeText(Header.RomSize) + " (code " + Hex(Header.RomSizeCode, 2) + ")");
  Add("RAM size", SizeText(Header.RamSize) + " (code " + Hex(Header.RamSizeCode, 2) + ")");
  Add("Destination", Header.Destination == 0   ? "Japan (0x00)"
                     : Header.Destination == 1 ? "outside Japan (0x01)"
                                               : "unknown (" + Hex(Header.Destination, 2) + ")");
  Add("Version", std::to_string(Header.Version));
  const bool HeaderGood = Header.HeaderChecksum == Header.HeaderChecksumComputed;
  Add("Header checksum", Hex(Header.HeaderChecksum, 2) +
                             (HeaderGood ? " (correct)" : " (wrong: computed " + Hex(Header.HeaderChecksumComputed, 2) +
                                                              ", a console will not start it)"));
  std::string Global = Hex(Header.GlobalChecksum, 4);
  if (!Header.GlobalChecksumComputed)
    Global += " (not computed: only the header was read)";
  else if (*Header.GlobalChecksumComputed == Header.GlobalChecksum)
    Global += " (correct)";
  else
    Global += " (differs: computed " + Hex(*Header.GlobalChecksumComputed, 4) + "; consoles do not check it)";
  Add("Global checksum", Global);
  Add("Size", SizeText(Header.FileSize) + (Header.FileSize >= 0 ? " (" + std::to_string(Header.FileSize) + " bytes)" : ""));
  if (Header.Problems.empty()) {
    Add("Header check", "passed");
  } else {
    for (const std::string& Problem : Header.Problems) Add("Problem", "the game " + Problem);
  }
  return Lines;
}
