#include "emulator/CardLock.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include <system_error>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef _WIN32
TCardLock::TCardLock(const std::string& Dir) {
  const std::string Name = Dir + "\\card.lock";
  HANDLE File = CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    const DWORD Error = GetLastError();
    if (Error == ERROR_SHARING_VIOLATION || Error == ERROR_ACCESS_DENIED)
      throw std::runtime_error("The card in " + Dir + " " + CardInUseText + ".");
    throw std::runtime_error("Cannot lock the card in " + Dir + ": " +
                             std::system_category().message(static_cast<int>(Error)));
  }
  FHandle = File;
}

TCardLock::~TCardLock() { CloseHandle(static_cast<HANDLE>(FHandle)); }
#else
TCardLock::TCardLock(const std::string& Dir) {
  FFd = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (FFd < 0) throw std::runtime_error("Cannot lock the card in " + Dir + ": " + std::strerror(errno));
  if (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
    const int Error = errno;
    ::close(FFd);
    if (Error == EWOULDBLOCK) throw std::runtime_error("The card in " + Dir + " " + CardInUseText + ".");
    throw std::runtime_error("Cannot lock the card in " + Dir + ": " + std::strerror(Error));
  }
}

TCardLock::~TCardLock() { ::close(FFd); }
#endif
