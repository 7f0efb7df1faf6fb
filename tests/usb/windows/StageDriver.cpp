// SPDX-License-Identifier: GPL-3.0-or-later
// Stages a driver package in the system's driver store as an installer does:
// the INF is copied in under a name the system chooses and the folder it came
// from is kept as the source of the files it names, so that Plug and Play
// installs the driver when the device arrives.
//
//   StageDriver.exe PATH\Bridgewick.inf
//
// Prints the staged INF's name. Exits 1 with the system's reason when the
// package cannot be staged, 2 on a wrong command line.
#include <cstdio>

#include <windows.h>
#include <setupapi.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: StageDriver INF\n");
    return 2;
  }
  char Staged[MAX_PATH] = "";
  if (!SetupCopyOEMInfA(argv[1], nullptr, SPOST_PATH, 0, Staged, sizeof Staged, nullptr, nullptr)) {
    const DWORD Error = GetLastError();
    char Reason[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, Reason,
                   sizeof Reason, nullptr);
    std::fprintf(stderr, "StageDriver: %s was not staged: error %lu %s\n", argv[1], Error, Reason);
    return 1;
  }
  std::printf("%s\n", Staged);
  return 0;
}
