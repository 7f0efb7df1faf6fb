// SPDX-License-Identifier: GPL-3.0-or-later
// Links every part of the core into one program, so that a build for a
// platform where the core is only cross-compiled proves its symbols resolve
// (the library alone is never linked there).
#include <cstdio>

#include "core/link/Link.h"
#include "core/link/LinkOptions.h"
#include "core/link/WindowsLinkPort.h"
#include "core/support/Bytes.h"
#include "core/support/DeleteFile.h"
#include "core/support/FileCompare.h"
#include "core/support/FileData.h"
#include "core/support/FileSize.h"
#include "core/support/NumberText.h"
#include "core/support/Paths.h"
#include "core/support/Resources.h"
#include "core/support/SpaceTime.h"
#include "core/support/TextParts.h"
#include "core/support/Version.h"

int main(int Argc, char** Argv) {
  int Major = 0, Minor = 0, Release = 0, Build = 0;
  GetVersionNumbers(Argv[0], Major, Minor, Release, Build);
  TSpaceTime Time;
  Time.Start();
  Time.Stop();
  TLinkOptions Options;
  std::string Error;
  for (int I = 1; I < Argc; ++I) ParseLinkOption(Argv[I], Options, Error);
  int64_t Count = -1;
  auto Data = ReadFileData(Argc > 1 ? Argv[1] : "", Count);
  std::printf("%d.%d.%d.%d %s %s %d %lld %d %d %s %s\n", Major, Minor, Release, Build, Time.ElapsedText().c_str(),
              TempFileName().c_str(), ParseNumber("0x10"), static_cast<long long>(FileSizeOf(Argv[0])),
              CompareFiles(Argv[0], Argv[0]), DeleteFileWait("", 0), LeftChars("ab", 1).c_str(),
              FindChip(0x8917) ? "chip" : "");
  std::printf("%u %p\n", SwapDWord(1), static_cast<const void*>(FindEmbeddedResource("GBPACK", "KVQ")));
#ifdef _WIN32
  auto Port = MakeWindowsLinkPort();
  std::printf("%s\n", Port->Describe().c_str());
#endif
  return 0;
}
