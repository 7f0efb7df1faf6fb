// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "emulator/CableEmulator.h"

// The commands the window sent, decoded from the cable's transfer log.
struct TSentCommand {
  char Code;   // 'W', 'M', 'm', 'D', 'A', ...; a flash read shows as 'R', a 512-byte probe as 'P'
  uint32_t Address;
  uint32_t Length;
  size_t Bytes;   // of the OUT transfer
};

inline std::vector<TSentCommand> SentCommands(TCableEmulator& Cable) {
  std::vector<TSentCommand> Commands;
  for (const TTransfer& Transfer : Cable.TakeLog()) {
    if (Transfer.In || Transfer.Bytes.size() < 9) continue;
    const auto Word = [&](size_t At) {
      return uint32_t(Transfer.Bytes[At]) << 24 | uint32_t(Transfer.Bytes[At + 1]) << 16 |
             uint32_t(Transfer.Bytes[At + 2]) << 8 | Transfer.Bytes[At + 3];
    };
    TSentCommand Command{static_cast<char>(Transfer.Bytes[0]), Word(1), Word(5), Transfer.Bytes.size()};
    if (Transfer.Bytes[0] == 0xFF) Command.Code = Command.Length == 512 ? 'P' : 'R';
    Commands.push_back(Command);
  }
  return Commands;
}

// Every write, format and test opens with the save backup: the whole save
// RAM read from 0 in 'm' commands. The commands after it; the test fails
// when they do not open with it.
inline std::vector<TSentCommand> AfterSaveBackup(const std::vector<TSentCommand>& Sent) {
  size_t First = 0;
  uint32_t Next = 0;
  while (First < Sent.size() && Sent[First].Code == 'm' && Sent[First].Address == Next) {
    Next += Sent[First].Length;
    ++First;
  }
  EXPECT_EQ(Next, 0x20000u) << "the save RAM is read whole before anything is written";
  return std::vector<TSentCommand>(Sent.begin() + static_cast<std::ptrdiff_t>(First), Sent.end());
}

// The transfers of that backup (a request and a reply per piece), for a
// cable pulled after a given number of the operation's own.
constexpr long SaveBackupTransfers = 64;

inline std::string CodesOf(const std::vector<TSentCommand>& Commands) {
  std::string Codes;
  for (const TSentCommand& Command : Commands) Codes.push_back(Command.Code);
  return Codes;
}

// Runs of the same code squeezed to one letter each: "WWWPPDA" -> "WPDA".
inline std::string Squeezed(const std::string& Codes) {
  std::string Out;
  for (char C : Codes)
    if (Out.empty() || Out.back() != C) Out.push_back(C);
  return Out;
}

// A write from the window first checks the card's contact (the identifier
// twice, then the page's first and last 32 KiB and 4 KiB of save RAM, all
// twice: 36 commands), keeps the save RAM in the vault (AfterSaveBackup),
// and a flash write then reads the page's first block to see whether it
// holds the image's start already (4 KiB reads up to the first that
// differs). The commands after all three; Sent unchanged when it does not
// start with that check, so that the caller's own assertions show it.
inline std::vector<TSentCommand> WithoutWriteChecks(const std::vector<TSentCommand>& Sent) {
  constexpr size_t CheckCommands = 2 + 2 * (8 + 8 + 1);
  if (Sent.size() < CheckCommands || Sent[0].Code != 'D' || Sent[1].Code != 'D') return Sent;
  for (size_t I = 2; I < CheckCommands; ++I)
    if (Sent[I].Code != ((I - 2) % 17 == 16 ? 'm' : 'R')) return Sent;
  const std::vector<TSentCommand> Rest =
      AfterSaveBackup(std::vector<TSentCommand>(Sent.begin() + static_cast<std::ptrdiff_t>(CheckCommands), Sent.end()));
  size_t First = 0;
  while (First < Rest.size() && Rest[First].Code == 'R' && Rest[First].Length == 4096 &&
         Rest[First].Address % 0x400000 < 0x20000)
    ++First;
  return std::vector<TSentCommand>(Rest.begin() + static_cast<std::ptrdiff_t>(First), Rest.end());
}

// The command codes sent since the last take, one character each ('D', 'A',
// 'W', ...; a 512-byte probe shows as 'P').
inline std::string SentCodes(TCableEmulator& Cable) {
  std::string Codes;
  for (const TTransfer& Transfer : Cable.TakeLog()) {
    if (Transfer.In || Transfer.Bytes.empty()) continue;
    Codes.push_back(Transfer.Bytes[0] == 0xFF ? 'P' : static_cast<char>(Transfer.Bytes[0]));
  }
  return Codes;
}

// A game header at a flash address: logo tail, title, ROM-size code.
inline void PutGameHeader(uint8_t* Flash, uint32_t Address, const std::string& Title, uint8_t SizeCode) {
  uint8_t* Block = Flash + Address;
  const uint8_t LogoTail[4] = {0xBB, 0xB9, 0x33, 0x3E};
  std::memcpy(Block + 0x130, LogoTail, 4);
  std::memset(Block + 0x134, 0, 16);
  std::memcpy(Block + 0x134, Title.data(), Title.size());
  Block[0x148] = SizeCode;
}
