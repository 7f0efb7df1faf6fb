// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The program's version numbers. They are compiled in from the build's
// project version; FileName is the program's own executable, as it would be
// for a version block read from the file. False, with the outputs left
// untouched, when FileName is given but names no readable file. An empty
// FileName asks for the numbers compiled in.
bool GetVersionNumbers(const std::string& FileName, int& Major, int& Minor, int& Release, int& Build);

// What --version prints: the program's name and version, then its copyright
// and licence (GPL-3.0-or-later).
std::string VersionText(const std::string& Program);
