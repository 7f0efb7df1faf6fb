// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/TempFolder.h"

// The window's behaviour on the in-memory binding: no toolkit, no display.
// The data folder (remembered settings, backups) is one of the run's own,
// so nothing of the user's changes what a test sees.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const TTempFolder Home("fq-app-data");
  if (Home.Valid()) ::setenv("XDG_DATA_HOME", Home.Text().c_str(), 1);
  return RUN_ALL_TESTS();
}
