// SPDX-License-Identifier: GPL-3.0-or-later
// The cable's eight port bytes, read and set as the port test window does.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"

namespace {

constexpr const char* PortNames[8] = {"P0IO", "P1IO", "P2IO", "P3IO", "P0", "P1", "P2", "P3"};

// Exactly 16 hexadecimal digits, two per byte; unlike the window's edits,
// nothing else is taken.
bool ParsePortImage(const std::string& Text, uint8_t Values[8]) {
  if (Text.size() != 16) return false;
  for (int I = 0; I < 16; ++I) {
    const char C = Text[static_cast<size_t>(I)];
    int Digit;
    if (C >= '0' && C <= '9') Digit = C - '0';
    else if (C >= 'a' && C <= 'f') Digit = C - 'a' + 10;
    else if (C >= 'A' && C <= 'F') Digit = C - 'A' + 10;
    else return false;
    if (I % 2 == 0) Values[I / 2] = static_cast<uint8_t>(Digit << 4);
    else Values[I / 2] = static_cast<uint8_t>(Values[I / 2] | Digit);
  }
  return true;
}

}  // namespace

int RunPorts(TCliSession& Session, const TCommandArgs& Args) {
  uint8_t Values[8] = {};
  const std::optional<std::string> Set = Args.Value("--set");
  if (Set && !ParsePortImage(*Set, Values))
    return UsageError(Session, "ports: --set " + *Set +
                                   ": expected exactly 16 hexadecimal digits (P0IO P1IO P2IO P3IO P0 P1 P2 P3)");
  // The port test works on the cable itself, whatever chip the card has.
  if (!Session.Connect(false)) return Session.Outcome(false);
  Session.FrontEnd.TakePendingError();   // an unknown chip is no concern here
  Session.FrontEnd.ClearFailed();
  if (Set) {
    Session.Link().WritePorts(Values);
    if (Session.FrontEnd.HasPendingError()) return Session.Outcome(false);
  }
  uint8_t Read[8] = {};
  Session.Link().ReadPorts(Read);
  if (Session.FrontEnd.HasPendingError()) return Session.Outcome(false);
  Session.FrontEnd.Finish();
  std::string Hex, Named;
  char Byte[16];
  for (int I = 0; I < 8; ++I) {
    std::snprintf(Byte, sizeof Byte, "%02X", Read[I]);
    Hex += Byte;
    Named += std::string(I ? " " : "") + PortNames[I] + "=" + Byte;
  }
  Session.Json["set"] = Set ? TJson(*Set) : TJson(nullptr);
  Session.Json["ports"] = Hex;
  TJson Bytes = TJson::object();
  for (int I = 0; I < 8; ++I) Bytes[PortNames[I]] = Read[I];
  Session.Json["values"] = Bytes;
  std::printf("%s  %s\n", Hex.c_str(), Named.c_str());
  std::fflush(stdout);
  return Session.Outcome(true);
}
