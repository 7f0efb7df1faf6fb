// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/FrontEnd.h"
#include "core/link/LinkProtocol.h"

// A folder of its own for one test, removed with everything in it afterwards.
class TTempDir {
public:
  TTempDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "fq-emu-XXXXXX").string();
    std::vector<char> Name(Pattern.begin(), Pattern.end());
    Name.push_back('\0');
    if (!::mkdtemp(Name.data())) std::abort();
    FPath = Name.data();
  }
  ~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& Name) const { return (std::filesystem::path(FPath) / Name).string(); }

private:
  std::string FPath;
};

inline std::vector<uint8_t> ReadWholeFile(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

// Wire bytes of a 9-byte command, fields most significant byte first.
inline std::vector<uint8_t> Command(uint8_t Code, uint32_t Address = 0, uint32_t Length = 0) {
  return {Code,
          uint8_t(Address >> 24), uint8_t(Address >> 16), uint8_t(Address >> 8), uint8_t(Address),
          uint8_t(Length >> 24), uint8_t(Length >> 16), uint8_t(Length >> 8), uint8_t(Length)};
}

// Wire bytes of a 41-byte write packet carrying Data (at most 32 bytes); the
// unused rest of the data field holds Filler.
inline std::vector<uint8_t> WritePacket(uint8_t Code, uint32_t Address, const std::vector<uint8_t>& Data,
                                        uint8_t Filler = 0x5A) {
  std::vector<uint8_t> Packet(sizeof(TLinkWritePacket), Filler);
  const auto Header = Command(Code, Address, static_cast<uint32_t>(Data.size()));
  std::copy(Header.begin(), Header.end(), Packet.begin());
  std::copy(Data.begin(), Data.end(), Packet.begin() + Header.size());
  return Packet;
}

// Deterministic bytes that differ from one place to the next.
inline std::vector<uint8_t> Pattern(size_t Count, uint32_t Seed) {
  std::vector<uint8_t> Bytes(Count);
  uint32_t State = Seed * 2654435761u + 1;
  for (auto& Byte : Bytes) {
    State = State * 1664525u + 1013904223u;
    Byte = uint8_t(State >> 24);
  }
  return Bytes;
}

// A front end that shows nothing; the transports only pass it along.
class TSilentFrontEnd : public TFrontEnd {
public:
  void SetStatusText(int Panel, const std::string& Text) override { FPanels[Panel & 1] = Text; }
  std::string StatusText(int Panel) const override { return FPanels[Panel & 1]; }
  void PumpMessages() override {}
  void SetProgress(int Position) override { FProgress = Position; }
  int Progress() const override { return FProgress; }
  void ShowBusyPanel(const std::string&) override {}
  void HideBusyPanel() override {}
  int ShowMessageBox(const std::string&, const std::string&, int) override { return MB_RESULT_OK; }
  void SetWindowCaption(const std::string& Caption) override { FCaption = Caption; }

  std::string FPanels[2];
  std::string FCaption;
  int FProgress = 0;
};
