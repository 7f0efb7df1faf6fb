// SPDX-License-Identifier: GPL-3.0-or-later
// The built menu image is what the program and the console rely on.
#include <gtest/gtest.h>

#include <numeric>

#include "tests/menu/CardPack.h"

namespace {

struct TField {
  const char* What;
  uint32_t Offset;
  std::vector<uint8_t> Bytes;
};

TEST(MenuImage, HeaderAndMarkerStandWhereTheyBelong) {
  std::vector<uint8_t> Image = CardPack::ReadFile(CardPack::MenuImagePath());
  ASSERT_EQ(Image.size(), 32768u);

  const std::vector<TField> Fields = {
      {"entry: nop; jp 0x0150", 0x100, {0x00, 0xC3, 0x50, 0x01}},
      {"logo", 0x104, {0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
                       0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
                       0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
                       0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E}},
      {"title VA16Z padded with zeros", 0x134,
       {'V', 'A', '1', '6', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      // colour flag, new licensee, SGB flag, type, ROM code, RAM code,
      // destination, old licensee, version
      {"header codes", 0x143, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}},
      {"mirror marker", 0x4000, std::vector<uint8_t>(32, 0xAA)},
  };
  for (const TField& F : Fields) {
    std::vector<uint8_t> Found(Image.begin() + F.Offset, Image.begin() + F.Offset + F.Bytes.size());
    EXPECT_EQ(Found, F.Bytes) << F.What;
  }

  // The boot ROM starts only a cartridge whose header sum is right.
  uint8_t HeaderSum = 0;
  for (uint32_t I = 0x134; I <= 0x14C; ++I)
    HeaderSum = uint8_t(HeaderSum - Image[I] - 1);
  EXPECT_EQ(Image[0x14D], HeaderSum);

  uint32_t Total = std::accumulate(Image.begin(), Image.end(), 0u) - Image[0x14E] - Image[0x14F];
  EXPECT_EQ((Image[0x14E] << 8) | Image[0x14F], int(Total & 0xFFFF));
}

}  // namespace
