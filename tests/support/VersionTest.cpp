// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "core/support/Version.h"
#include "tests/support/SteppedBytes.h"
#include "tests/support/TempFolder.h"

TEST(GetVersionNumbers, TheProjectVersionCompiledIn) {
  int Major = -1, Minor = -1, Release = -1, Build = -1;
  ASSERT_TRUE(GetVersionNumbers("", Major, Minor, Release, Build));
  EXPECT_EQ(std::to_string(Major) + "." + std::to_string(Minor) + "." + std::to_string(Release) + "." +
                std::to_string(Build),
            FQ_PROJECT_VERSION);
  EXPECT_EQ(Major, 1);
  EXPECT_EQ(Minor, 0);
  EXPECT_EQ(Release, 3);
  EXPECT_EQ(Build, 20);

  TTempFolder Dir;
  int A = -1, B = -1, C = -1, D = -1;
  EXPECT_TRUE(GetVersionNumbers(Dir.Write("flashquill", Pattern(10)), A, B, C, D));
  EXPECT_EQ(A, 1);

  int W = 7, X = 7, Y = 7, Z = 7;   // no such file: the outputs stay as they were
  EXPECT_FALSE(GetVersionNumbers(Dir.File("missing"), W, X, Y, Z));
  EXPECT_EQ(W + X + Y + Z, 28);
}

// --version of both programs: name, the version compiled in, the licence.
TEST(VersionText, NamesTheProgramVersionAndLicence) {
  const std::string Text = VersionText("flashquill-cli");
  EXPECT_EQ(Text.rfind(std::string("flashquill-cli ") + FQ_PROJECT_VERSION + "\n", 0), 0u) << Text;
  EXPECT_NE(Text.find("GNU GPL version 3 or later"), std::string::npos) << Text;
  EXPECT_NE(Text.find("NO WARRANTY"), std::string::npos) << Text;
}
