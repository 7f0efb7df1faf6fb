// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TitleText.h"

#include <cstdio>

namespace {

void AppendLatin1(std::string& Out, unsigned char Byte) {
  if (Byte < 0x80) {
    Out += static_cast<char>(Byte);
  } else {
    Out += static_cast<char>(0xC0 | (Byte >> 6));
    Out += static_cast<char>(0x80 | (Byte & 0x3F));
  }
}

bool IsControl(unsigned char Byte) { return Byte < 0x20 || (Byte >= 0x7F && Byte < 0xA0); }

}  // namespace

std::string DisplayTitle(const std::string& Title) {
  std::string Out;
  for (char C : Title) {
    const auto Byte = static_cast<unsigned char>(C);
    if (IsControl(Byte))
      Out += '?';
    else
      AppendLatin1(Out, Byte);
  }
  return Out;
}

std::string TitleUtf8(const std::string& Title) {
  std::string Out;
  for (char C : Title) AppendLatin1(Out, static_cast<unsigned char>(C));
  return Out;
}

std::string JsonString(const std::string& Title) {
  std::string Out = "\"";
  for (char C : Title) {
    const auto Byte = static_cast<unsigned char>(C);
    if (Byte == '"' || Byte == '\\') {
      Out += '\\';
      Out += static_cast<char>(Byte);
    } else if (IsControl(Byte)) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", Byte);
      Out += Escape;
    } else {
      AppendLatin1(Out, Byte);
    }
  }
  return Out + "\"";
}

std::string JsonText(const std::string& Text) {
  std::string Out = "\"";
  for (char C : Text) {
    const auto Byte = static_cast<unsigned char>(C);
    if (Byte == '"' || Byte == '\\') {
      Out += '\\';
      Out += static_cast<char>(Byte);
    } else if (Byte < 0x20 || Byte == 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\u%04x", Byte);
      Out += Escape;
    } else {
      Out += static_cast<char>(Byte);
    }
  }
  return Out + "\"";
}
