#include "core/support/PrivateTempFile.h"

#include <cerrno>
#include <random>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <system_error>
#else
#include <unistd.h>
#endif

#include "core/support/Paths.h"
#include "core/support/ReplaceFile.h"

#ifdef _WIN32
std::FILE* OpenPrivateTempFile(std::string& Error) {
  const std::string Folder = TempDirectory();
  if (Folder.empty()) {
    Error = "no temporary folder";
    return nullptr;
  }
  std::random_device Seed;
  std::mt19937 Random(Seed());
  DWORD Last = 0;
  for (int Attempt = 0; Attempt < 1000; ++Attempt) {
    char Name[32];
    std::snprintf(Name, sizeof Name, "fq%08X.tmp", static_cast<unsigned>(Random()));
    const std::string Full = Folder + Name;
    // No sharing, new only, and gone with the last handle, whatever ends
    // the program.
    HANDLE File = CreateFileA(Full.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
      Last = GetLastError();
      if (Last == ERROR_FILE_EXISTS || Last == ERROR_ALREADY_EXISTS) continue;
      break;
    }
    const int Fd = _open_osfhandle(reinterpret_cast<intptr_t>(File), _O_RDWR | _O_BINARY);
    if (Fd < 0) {
      CloseHandle(File);
      Error = SystemErrorText(errno);
      return nullptr;
    }
    std::FILE* Stream = _fdopen(Fd, "w+b");
    if (!Stream) {
      Error = SystemErrorText(errno);
      _close(Fd);
    }
    return Stream;
  }
  Error = std::system_category().message(static_cast<int>(Last));
  return nullptr;
}
#else
std::FILE* OpenPrivateTempFile(std::string& Error) {
  std::string Folder = TempDirectory();
  if (Folder.empty()) {
    Error = "no temporary folder";
    return nullptr;
  }
  int Fd = -1;
#ifdef O_TMPFILE
  // O_EXCL: the file can never be given a name afterwards either.
  Fd = ::open(Folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
#endif
  if (Fd < 0) {
    std::string Template = Folder + "flashquill-XXXXXX";
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back('\0');
    Fd = ::mkstemp(Name.data());
    if (Fd < 0) {
      Error = SystemErrorText(errno);
      return nullptr;
    }
    ::fcntl(Fd, F_SETFD, FD_CLOEXEC);
    ::unlink(Name.data());
  }
  std::FILE* Stream = ::fdopen(Fd, "w+b");
  if (!Stream) {
    Error = SystemErrorText(errno);
    ::close(Fd);
  }
  return Stream;
}
#endif
