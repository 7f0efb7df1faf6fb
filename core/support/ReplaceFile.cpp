#include "core/support/ReplaceFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::string SystemErrorText(int Error) { return std::generic_category().message(Error); }

namespace {

// The temporary's name: hidden, short enough to fit where the target's own
// long name does, and never one a listing of backups or games would take
// for a finished file.
std::string TempPattern(const fs::path& Final) {
  std::string Base = Final.filename().string();
  if (Base.size() > 40) Base.resize(40);
  const fs::path Folder = Final.has_parent_path() ? Final.parent_path() : fs::path(".");
  return (Folder / ("." + Base + ".")).string();
}

#ifdef _WIN32
std::string WindowsErrorText(DWORD Error) { return std::system_category().message(static_cast<int>(Error)); }

// Creates a new file under Pattern + six characters, exclusively.
int CreateExclusive(const std::string& Pattern, std::string& Name, int& Error) {
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device Seed;
  std::mt19937 Random(Seed());
  for (int Attempt = 0; Attempt < 1000; ++Attempt) {
    Name = Pattern;
    for (int I = 0; I < 6; ++I) Name += Letters[Random() % (sizeof Letters - 1)];
    const int Fd = _open(Name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (Fd >= 0) return Fd;
    if (errno != EEXIST) break;
  }
  Error = errno;
  Name.clear();
  return -1;
}
#else
int CreateExclusive(const std::string& Pattern, std::string& Name, int& Error) {
  std::string Template = Pattern + "XXXXXX";
  std::vector<char> Buffer(Template.begin(), Template.end());
  Buffer.push_back('\0');
  // mkstemp: O_CREAT | O_EXCL, mode 0600; a link planted under the name is
  // never followed.
  const int Fd = ::mkstemp(Buffer.data());
  if (Fd < 0) {
    Error = errno;
    return -1;
  }
  ::fcntl(Fd, F_SETFD, FD_CLOEXEC);
  Name = Buffer.data();
  return Fd;
}

unsigned NewFileMode() {
  const mode_t Mask = ::umask(0);
  ::umask(Mask);
  return 0666u & ~static_cast<unsigned>(Mask);
}
#endif

}  // namespace

TReplaceFile::TReplaceFile(const std::string& Target) : FTarget(Target), FFinal(Target) {
  std::error_code Error;
  fs::path Final(Target);
  if (fs::is_symlink(fs::symlink_status(Final, Error))) {
    const fs::path Resolved = fs::weakly_canonical(Final, Error);
    if (!Error) Final = Resolved;
  }
  FFinal = Final.string();

  const fs::file_status Status = fs::status(Final, Error);
  if (fs::exists(Status) && !fs::is_regular_file(Status)) {
    if (fs::is_directory(Status)) {
      FError = SystemErrorText(EISDIR);
      return;
    }
    // A device or a pipe: there is nothing to rename over.
    FDirect = true;
    FFile = std::fopen(FFinal.c_str(), "wb");
    if (!FFile) FError = SystemErrorText(errno);
    else std::setvbuf(FFile, nullptr, _IONBF, 0);
    return;
  }
  if (fs::exists(Status)) {
    FHadTarget = true;
    FMode = static_cast<unsigned>(Status.permissions()) & 07777u;
  }

  int Code = 0;
#ifndef _WIN32
  // The temporary's name is short; a target name the folder cannot hold
  // must fail here, at the start, not at the rename after the whole read.
  {
    const fs::path Folder = Final.has_parent_path() ? Final.parent_path() : fs::path(".");
    const long Longest = ::pathconf(Folder.c_str(), _PC_NAME_MAX);
    if (Longest > 0 && Final.filename().string().size() > static_cast<size_t>(Longest)) {
      FError = SystemErrorText(ENAMETOOLONG);
      return;
    }
  }
#endif
  const int Fd = CreateExclusive(TempPattern(Final), FTemp, Code);
  if (Fd < 0) {
    FError = SystemErrorText(Code);
    return;
  }
#ifdef _WIN32
  FFile = _fdopen(Fd, "wb");
#else
  FFile = ::fdopen(Fd, "wb");
#endif
  if (!FFile) {
    FError = SystemErrorText(errno);
#ifdef _WIN32
    _close(Fd);
#else
    ::close(Fd);
#endif
    fs::remove(FTemp, Error);
    FTemp.clear();
    return;
  }
  std::setvbuf(FFile, nullptr, _IONBF, 0);
}

TReplaceFile::~TReplaceFile() { Abandon(); }

bool TReplaceFile::Write(const void* Data, size_t Count) {
  if (!FFile) return false;
  if (Count == 0 || std::fwrite(Data, 1, Count, FFile) == Count) return true;
  FError = SystemErrorText(errno);
  return false;
}

void TReplaceFile::Abandon() {
  if (FFile) std::fclose(FFile);
  FFile = nullptr;
  if (!FTemp.empty()) {
    std::error_code Error;
    fs::remove(FTemp, Error);
    FTemp.clear();
  }
}

bool TReplaceFile::Commit() {
  if (!FFile) {
    if (FError.empty()) FError = SystemErrorText(EBADF);
    return false;
  }
  std::FILE* File = FFile;
  FFile = nullptr;
  bool Flushed = std::fflush(File) == 0;
  int Code = Flushed ? 0 : errno;
#ifdef _WIN32
  if (Flushed && !FDirect && _commit(_fileno(File)) != 0) {
    Flushed = false;
    Code = errno;
  }
#else
  if (Flushed && !FDirect) {
    // The data on the disk before the name points at it: a crash after the
    // rename must not leave an empty file where the old one was.
    if (::fsync(::fileno(File)) != 0) {
      Flushed = false;
      Code = errno;
    } else {
      ::fchmod(::fileno(File), static_cast<mode_t>(FHadTarget ? FMode : NewFileMode()));
    }
  }
#endif
  if (std::fclose(File) != 0 && Flushed) {
    Flushed = false;
    Code = errno;
  }
  if (FDirect) {
    if (!Flushed) FError = SystemErrorText(Code);
    return Flushed;
  }
  if (!Flushed) {
    FError = SystemErrorText(Code);
    Abandon();
    return false;
  }
#ifdef _WIN32
  if (!MoveFileExA(FTemp.c_str(), FFinal.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    FError = WindowsErrorText(GetLastError());
    Abandon();
    return false;
  }
#else
  if (::rename(FTemp.c_str(), FFinal.c_str()) != 0) {
    FError = SystemErrorText(errno);
    Abandon();
    return false;
  }
  const fs::path Folder = fs::path(FFinal).has_parent_path() ? fs::path(FFinal).parent_path() : fs::path(".");
  const int Dir = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Dir >= 0) {
    ::fsync(Dir);
    ::close(Dir);
  }
#endif
  FTemp.clear();
  return true;
}
