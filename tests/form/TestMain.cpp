// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

// The window's behaviour on the in-memory binding: no toolkit, no display.
// The data folder (remembered settings, backups) is one of the run's own,
// so nothing of the user's changes what a test sees.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string Home = (std::filesystem::temp_directory_path() / "fq-app-data-XXXXXX").string();
  const bool Made = ::mkdtemp(Home.data()) != nullptr;
  if (Made) ::setenv("XDG_DATA_HOME", Home.c_str(), 1);
  const int Result = RUN_ALL_TESTS();
  std::error_code Ignored;
  if (Made) std::filesystem::remove_all(Home, Ignored);
  return Result;
}
