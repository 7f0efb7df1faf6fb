// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

class TButton;

// How the port test window shows one bit of a port byte on a button, and
// reads it back from the caption. A set direction bit is always an arrow
// pointing at the controller panel: "->" for the pins left of it (P0, P1),
// "<-" for those right of it (P2, P3). A value bit is "1" with the button
// up, "0" with it down. The captions are the window's whole state: there is
// no other copy of the port bytes.
inline const std::string ArrowRight = "->";
inline const std::string ArrowLeft = "<-";
inline const std::string ArrowBoth = "<->";

// 1 << Bit when the caption is "->" (LeftArrowBit), "<-" (RightArrowBit) or
// "1" (ValueBit), else 0.
uint8_t LeftArrowBit(const TButton& Button, int Bit);
uint8_t RightArrowBit(const TButton& Button, int Bit);
uint8_t ValueBit(const TButton& Button, int Bit);

// Bit number Bit of Byte on Button, by the rules above.
void ShowLeftArrow(TButton& Button, uint8_t Byte, int Bit);
void ShowRightArrow(TButton& Button, uint8_t Byte, int Bit);
void ShowValueBit(TButton& Button, uint8_t Byte, int Bit);

// The caption of a port's group button for the text of its direction edit:
// one arrow when every pin points the same way, "<->" otherwise. P3 has only
// six pins and its byte always carries bits 6 and 7, so its uniform bytes
// are "FF" and "C0"; any other text, "00" included, is mixed.
std::string GroupCaption(int Port, const std::string& DirectionText);

// A byte as the edits show it: exactly two upper-case hexadecimal digits.
std::string HexByteText(uint8_t Byte);
