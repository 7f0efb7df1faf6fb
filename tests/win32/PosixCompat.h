// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window's behaviour tests take from POSIX and mingw-w64's C
// library lacks, for their Windows build (included before each of their
// files by the cross build).
#ifdef _WIN32
#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

// Makes a new folder from Template, whose last six characters are "XXXXXX"
// and become letters and digits; returns Template, or nullptr with errno set.
inline char* mkdtemp(char* Template) {
  const size_t Length = std::strlen(Template);
  if (Length < 6 || std::strcmp(Template + Length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long Seed = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 32);
  for (int Try = 0; Try < 1000; ++Try) {
    for (size_t I = Length - 6; I < Length; ++I) {
      Seed = Seed * 6364136223846793005ULL + 1442695040888963407ULL;
      Template[I] = Letters[(Seed >> 33) % (sizeof Letters - 1)];
    }
    if (_mkdir(Template) == 0) return Template;
    if (errno != EEXIST) return nullptr;
  }
  errno = EEXIST;
  return nullptr;
}

inline int setenv(const char* Name, const char* Value, int Overwrite) {
  if (!Overwrite && std::getenv(Name)) return 0;
  return _putenv_s(Name, Value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* Name) { return _putenv_s(Name, "") == 0 ? 0 : -1; }
#endif
