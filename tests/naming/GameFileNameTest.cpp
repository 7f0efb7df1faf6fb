// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/naming/GameFileName.h"

namespace {

TEST(GameFileName, TitlesBecomeNamesEveryPlatformCanHold) {
  const struct {
    std::string Title, Name;
  } Cases[] = {
      {"TETRIS", "TETRIS.GB"},
      {"A<B>C:D\"E/F\\G|H?I*J", "A_B_C_D_E_F_G_H_I_J.GB"},
      {"TAB\tNL\n", "TAB_NL_.GB"},
      {"", "Untitled.GB"},
      {"...", "Untitled.GB"},
      {"GAME. ", "GAME.GB"},
      {"CON", "_CON.GB"},
      {"lpt1", "_lpt1.GB"},
      {"CONSOLE", "CONSOLE.GB"},
      {"CAF\xC9", "CAF\xC3\x89.GB"},
      {"X\x85Y", "X_Y.GB"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(GameFileName(Case.Title, ".GB"), Case.Name) << Case.Title;
}

}  // namespace
