// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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
