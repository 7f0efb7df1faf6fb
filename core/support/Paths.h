// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The folder separator of the platform: "\" on Windows, "/" elsewhere.
// AddBackslash appends this one, so on Linux its "backslash" is "/".
#ifdef _WIN32
constexpr char PathDelimiter = '\\';
#else
constexpr char PathDelimiter = '/';
#endif

// A non-empty path not ending in PathDelimiter gets one; empty stays empty.
std::string AddBackslash(const std::string& Path);

// The system's folder for temporary files, with its trailing separator;
// empty when the platform names none that exists.
std::string TempDirectory();
// Creates a new empty file with a name of the system's choosing in Folder
// ("<hex digits>.tmp") and returns its full name; empty when none could be
// made.
std::string UniqueFileIn(const std::string& Folder);
// A fresh name in the temporary folder under which no file exists (the
// file UniqueFileIn made is deleted again); empty on failure.
std::string TempFileName();
