// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/form/TextCodes.h"

std::string BytesAsText(const std::string& Bytes) {
  std::string Text;
  Text.reserve(Bytes.size());
  for (unsigned char Byte : Bytes) {
    if (Byte < 0x80) {
      Text.push_back(static_cast<char>(Byte));
    } else {
      Text.push_back(static_cast<char>(0xC0 | (Byte >> 6)));
      Text.push_back(static_cast<char>(0x80 | (Byte & 0x3F)));
    }
  }
  return Text;
}

std::string TextAsBytes(const std::string& Text) {
  std::string Bytes;
  for (size_t At = 0; At < Text.size();) {
    const unsigned char Lead = static_cast<unsigned char>(Text[At]);
    if (Lead < 0x80) {
      Bytes.push_back(static_cast<char>(Lead));
      ++At;
      continue;
    }
    // The length of the sequence from its lead byte; a stray byte counts one.
    size_t Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
    if (At + Length > Text.size()) Length = Text.size() - At;
    if (Length == 2 && Lead <= 0xC3)
      Bytes.push_back(static_cast<char>(((Lead & 0x1F) << 6) | (static_cast<unsigned char>(Text[At + 1]) & 0x3F)));
    else
      Bytes.push_back('?');
    At += Length;
  }
  return Bytes;
}
