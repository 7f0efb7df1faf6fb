// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The program's data folder, where the factory tests' read-back files and
// the save backups go: the root of drive C: on Windows; elsewhere
// $XDG_DATA_HOME/flashquill (an absolute XDG_DATA_HOME only), else
// ~/.local/share/flashquill. Created when missing; a folder that cannot be
// made shows later as a file that cannot be created there. The name ends
// with the separator.
std::string ProgramDataFolder();
