// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/NumberText.h"

#include <limits>

namespace {

bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

char UpperAscii(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

// The whole text as a signed decimal number within 32 bits.
bool DecimalValue(const std::string& S, int32_t& Value) {
  size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == '-' || S[I] == '+')) {
    Negative = S[I] == '-';
    ++I;
  }
  if (I == S.size()) return false;
  int64_t Magnitude = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < '0' || S[I] > '9') return false;
    Magnitude = Magnitude * 10 + (S[I] - '0');
    if (Magnitude > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  const int64_t Signed = Negative ? -Magnitude : Magnitude;
  if (Signed < std::numeric_limits<int32_t>::min() || Signed > std::numeric_limits<int32_t>::max()) return false;
  Value = static_cast<int32_t>(Signed);
  return true;
}

}  // namespace

std::string ZeroPad(int64_t Value, int Width) {
  std::string Text = std::to_string(Value);
  if (Width > 0 && Text.size() < static_cast<size_t>(Width)) Text.insert(0, static_cast<size_t>(Width) - Text.size(), '0');
  return Text;
}

std::string TrimBlanks(const std::string& S) {
  size_t First = 0, Last = S.size();
  while (First < Last && IsBlank(S[First])) ++First;
  while (Last > First && IsBlank(S[Last - 1])) --Last;
  return S.substr(First, Last - First);
}

bool IsNumberText(const std::string& S) {
  // A leading sign asks the same question of the rest of the text; walked
  // as a loop, so a long run of signs costs neither stack nor copies.
  size_t LastNonBlank = S.size();
  while (LastNonBlank > 0 && IsBlank(S[LastNonBlank - 1])) --LastNonBlank;
  size_t Start = 0;
  while (Start < LastNonBlank && (S[Start] == '-' || S[Start] == '+')) ++Start;
  // The rest after the signs must not be blank after trimming.
  bool AnyNonBlank = false;
  for (size_t I = Start; I < LastNonBlank && !AnyNonBlank; ++I) AnyNonBlank = !IsBlank(S[I]);
  if (!AnyNonBlank) return false;
  for (size_t I = Start; I < S.size(); ++I)
    if (!((S[I] >= '0' && S[I] <= '9') || S[I] == '.')) return false;
  return true;
}

int32_t ParseNumber(const std::string& S) {
  const std::string Text = TrimBlanks(S);
  if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X'))
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(HexToInt(Text.substr(2))) & 0xFFFFFFFFu));
  if (Text.size() > 10) return 0;
  if (!IsNumberText(Text)) return 0;
  // What passes the test but is no whole 32-bit number ("1.5", "--5",
  // "9999999999") counts as not accepted.
  int32_t Value = 0;
  return DecimalValue(Text, Value) ? Value : 0;
}

int64_t HexToInt(const std::string& S) {
  if (S.empty()) return 0;
  std::string Text = S;
  if (UpperAscii(Text.back()) == 'H') Text.pop_back();
  if (Text.size() > 8) return 0;
  int64_t Result = 0;
  int64_t Weight = 1;
  for (size_t K = 0; K < Text.size(); ++K, Weight *= 16) {
    const char C = UpperAscii(Text[Text.size() - 1 - K]);
    const int64_t Digit = (C >= 'A' && C <= 'F') ? C - 'A' + 10 : static_cast<int64_t>(static_cast<unsigned char>(C)) - 48;
    Result += Digit * Weight;
  }
  return Result;
}

bool ParseUnsignedUpTo(const std::string& Text, uint64_t Limit, uint64_t& Value) {
  const bool Hex = Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
  const std::string Digits = Hex ? Text.substr(2) : Text;
  if (Digits.empty() || Digits.size() > 16) return false;
  uint64_t Result = 0;
  for (char C : Digits) {
    unsigned Digit;
    if (C >= '0' && C <= '9') Digit = static_cast<unsigned>(C - '0');
    else if (Hex && C >= 'a' && C <= 'f') Digit = static_cast<unsigned>(C - 'a' + 10);
    else if (Hex && C >= 'A' && C <= 'F') Digit = static_cast<unsigned>(C - 'A' + 10);
    else return false;
    // Checked at every digit, so the sum never wraps for any Limit below 2^60.
    Result = Result * (Hex ? 16 : 10) + Digit;
    if (Result > Limit) return false;
  }
  Value = Result;
  return true;
}
