#pragma once
#include <cstdio>
#include <string>

// A scratch file of the program's own in the system's temporary folder, open
// for reading and writing and never reachable by a name: created exclusively
// with mode 0600 (O_TMPFILE where the file system has it, else a name made
// with mkstemp and removed at once; on Windows a new file that the system
// deletes when its handle closes). Nothing another user planted in a shared
// temporary folder is followed or overwritten, and a program killed or
// stopped half-way leaves nothing behind. Null with Error set (the system's
// reason) when none can be made; the caller closes it with fclose.
std::FILE* OpenPrivateTempFile(std::string& Error);
