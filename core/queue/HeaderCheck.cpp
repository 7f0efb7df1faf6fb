// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/queue/HeaderCheck.h"

#include <filesystem>

#include "core/card/CardLayout.h"
#include "core/queue/GameFileInfo.h"
#include "core/support/FileData.h"
#include "core/support/FileSize.h"

const uint8_t HeaderLogo[HeaderLogoSize] = {
    0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83, 0x00, 0x0C, 0x00, 0x0D,
    0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E, 0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99,
    0xBB, 0xBB, 0x67, 0x63, 0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E,
};

uint8_t HeaderChecksum(const uint8_t* Header) {
  uint8_t Sum = 0;
  for (uint32_t I = 0x134; I < HeaderChecksumOffset; ++I) Sum = static_cast<uint8_t>(Sum - Header[I] - 1);
  return Sum;
}

namespace {

std::string SizeWords(int64_t Bytes) {
  if (Bytes % 1024 == 0) return std::to_string(Bytes / 1024) + " KiB";
  return std::to_string(Bytes) + " bytes";
}

}  // namespace

std::vector<std::string> CheckGameHeader(const std::string& FileName) {
  int64_t Count = GameHeaderEnd;
  const auto Head = ReadFileData(FileName, Count);
  const int64_t Size = FileSizeOf(FileName);
  if (!Head || Count < 0 || Size < 0) return {"cannot be read"};
  return CheckHeaderBytes(Head.get(), Count, Size);
}

std::vector<std::string> CheckHeaderBytes(const uint8_t* H, int64_t Count, int64_t Size) {
  std::vector<std::string> Problems;
  if (Count < GameHeaderEnd) return {"is too short to hold a Game Boy header"};

  bool Logo = true;
  for (uint32_t I = 0; I < HeaderLogoSize; ++I) Logo = Logo && H[HeaderLogoOffset + I] == HeaderLogo[I];
  if (!Logo) Problems.push_back("has no Game Boy logo: the card scan and the boot menu will never see it");
  if (HeaderChecksum(H) != H[HeaderChecksumOffset])
    Problems.push_back("has a wrong header checksum: a console will not start it");

  const uint8_t Code = H[HeaderRomSizeOffset];
  if (Code >= RomSizeCodes) {
    Problems.push_back("has ROM-size code " + std::to_string(Code) +
                       ", none of 0 to 7: the card scan cannot size it");
  } else {
    const int64_t HeaderSize = RomSizeTable[Code];
    if (Size < HeaderSize)
      Problems.push_back("is shorter (" + SizeWords(Size) + ") than its header says (" + SizeWords(HeaderSize) +
                         "): it would be cut short");
    else if (Size > HeaderSize)
      Problems.push_back("is longer (" + SizeWords(Size) + ") than its header says (" + SizeWords(HeaderSize) +
                         "): the card scan lists only the first " + SizeWords(HeaderSize));
  }
  if (Size % 0x8000 != 0) Problems.push_back("is not a whole number of 32 KiB blocks long");
  return Problems;
}

std::string HeaderQuestion(const std::string& FileName, const std::vector<std::string>& Problems) {
  const std::string Name = std::filesystem::path(FileName).filename().string();
  std::string Text;
  for (size_t I = 0; I < Problems.size(); ++I) Text += (I ? "\r\n" : "") + Name + " " + Problems[I] + ".";
  return Text + "\r\nQueue it anyway?";
}

std::string HeaderProblemsLine(const std::string& FileName, const std::vector<std::string>& Problems) {
  std::string Text = FileName;
  for (size_t I = 0; I < Problems.size(); ++I) Text += (I ? "; " : " ") + Problems[I];
  return Text + ".";
}
