// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The pins of the cable controller's four ports P0 to P3, as the port test
// window shows them: one row of buttons per pin, topmost (highest bit) first.
constexpr int PortCount = 4;
constexpr int PinCount[PortCount] = {8, 8, 8, 6};   // P3 has bits 5 to 0 only

// The bit a row of a port stands for.
constexpr int BitOfRow(int Port, int Row) { return PinCount[Port] - 1 - Row; }

// Control names: "edP0IO" (direction byte), "edP0" (value byte), "P07IO"
// (direction bit), "P07" (value bit), "P0IO" (the port's group button).
inline std::string PortName(int Port) { return "P" + std::to_string(Port); }
inline std::string DirectionEditName(int Port) { return "ed" + PortName(Port) + "IO"; }
inline std::string ValueEditName(int Port) { return "ed" + PortName(Port); }
inline std::string ValueButtonName(int Port, int Row) { return PortName(Port) + std::to_string(BitOfRow(Port, Row)); }
inline std::string DirectionButtonName(int Port, int Row) { return ValueButtonName(Port, Row) + "IO"; }
inline std::string GroupButtonName(int Port) { return PortName(Port) + "IO"; }
