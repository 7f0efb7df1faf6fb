// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form/PortBits.h"

#include <cstdio>

#include "app/form/Controls.h"

namespace {

const std::string ValueOne = "1";
const std::string ValueZero = "0";

uint8_t BitIf(bool Set, int Bit) { return Set ? static_cast<uint8_t>(1u << Bit) : uint8_t{0}; }
bool IsSet(uint8_t Byte, int Bit) { return (Byte >> Bit) & 1u; }

}  // namespace

uint8_t LeftArrowBit(const TButton& Button, int Bit) { return BitIf(Button.Caption() == ArrowRight, Bit); }

uint8_t RightArrowBit(const TButton& Button, int Bit) { return BitIf(Button.Caption() == ArrowLeft, Bit); }

uint8_t ValueBit(const TButton& Button, int Bit) { return BitIf(Button.Caption() == ValueOne, Bit); }

void ShowLeftArrow(TButton& Button, uint8_t Byte, int Bit) {
  Button.SetCaption(IsSet(Byte, Bit) ? ArrowRight : ArrowLeft);
}

void ShowRightArrow(TButton& Button, uint8_t Byte, int Bit) {
  Button.SetCaption(IsSet(Byte, Bit) ? ArrowLeft : ArrowRight);
}

void ShowValueBit(TButton& Button, uint8_t Byte, int Bit) {
  const bool Set = IsSet(Byte, Bit);
  Button.SetCaption(Set ? ValueOne : ValueZero);
  Button.SetDown(!Set);   // a value button held down is a 0
}

std::string GroupCaption(int Port, const std::string& DirectionText) {
  struct TUniform {
    const char* AllSet;
    const char* AllClear;
    const std::string* SetCaption;
    const std::string* ClearCaption;
  };
  static const TUniform Ports[4] = {
      {"FF", "00", &ArrowRight, &ArrowLeft},
      {"FF", "00", &ArrowRight, &ArrowLeft},
      {"FF", "00", &ArrowLeft, &ArrowRight},
      {"FF", "C0", &ArrowLeft, &ArrowRight},
  };
  if (Port < 0 || Port > 3) return ArrowBoth;
  const TUniform& Uniform = Ports[Port];
  if (DirectionText == Uniform.AllSet) return *Uniform.SetCaption;
  if (DirectionText == Uniform.AllClear) return *Uniform.ClearCaption;
  return ArrowBoth;
}

std::string HexByteText(uint8_t Byte) {
  char Text[3];
  std::snprintf(Text, sizeof Text, "%02X", Byte);
  return Text;
}
