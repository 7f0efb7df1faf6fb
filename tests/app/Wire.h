#pragma once
#include <cstdint>
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
