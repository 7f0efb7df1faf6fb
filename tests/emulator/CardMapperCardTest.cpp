// SPDX-License-Identifier: GPL-3.0-or-later
// The mapper wired to the emulator's card: the console sees the page last
// selected with 'A' and the card's own save RAM.
#include <gtest/gtest.h>

#include "emulator/Card.h"
#include "emulator/CardMapper.h"

namespace {

TEST(CardMapper, ForCardSeesTheSelectedPageAndTheCardsSaveRam) {
  TCard Card;
  Card.Flash()[0x000100] = 0x11;
  Card.Flash()[0x400100] = 0x22;
  Card.SetConsolePageBase(0x400000);

  TCardMapper Mapper = TCardMapper::ForCard(Card);
  EXPECT_EQ(Mapper.Read(0x0100), 0x22);

  Mapper.Write(0x0000, 0x0A);
  Mapper.Write(0xA010, 0x5A);
  EXPECT_EQ(Card.Sram()[0x10], 0x5A);
}

}  // namespace
