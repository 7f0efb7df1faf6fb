// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/FileSize.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

int64_t Tell(std::FILE* File) {
#ifdef _WIN32
  return _ftelli64(File);
#else
  return static_cast<int64_t>(ftello(File));
#endif
}

bool Seek(std::FILE* File, int64_t Offset, int Origin) {
#ifdef _WIN32
  return _fseeki64(File, Offset, Origin) == 0;
#else
  return fseeko(File, static_cast<off_t>(Offset), Origin) == 0;
#endif
}

bool WildcardMatch(const std::string& Pattern, const std::string& Text) {
  size_t P = 0, T = 0, StarP = std::string::npos, StarT = 0;
  while (T < Text.size()) {
    if (P < Pattern.size() && (Pattern[P] == '?' || Pattern[P] == Text[T])) {
      ++P;
      ++T;
    } else if (P < Pattern.size() && Pattern[P] == '*') {
      StarP = P++;
      StarT = T;
    } else if (StarP != std::string::npos) {
      P = StarP + 1;
      T = ++StarT;
    } else {
      return false;
    }
  }
  while (P < Pattern.size() && Pattern[P] == '*') ++P;
  return P == Pattern.size();
}

int64_t RegularFileSize(const fs::path& Path) {
  std::error_code Error;
  if (!fs::is_regular_file(Path, Error)) return -1;
  const uintmax_t Size = fs::file_size(Path, Error);
  return Error ? -1 : static_cast<int64_t>(Size);
}

}  // namespace

int64_t FileSizeOfHandle(std::FILE* File) {
  if (!File) return -1;
  const int64_t Position = Tell(File);
  if (Position < 0 || !Seek(File, 0, SEEK_END)) return -1;
  const int64_t Size = Tell(File);
  Seek(File, Position, SEEK_SET);
  return Size;
}

int64_t FileSizeOf(const std::string& Name, TNameMatch Match) {
  if (Name.empty()) return -1;
  const fs::path Path(Name);
  const std::string Leaf = Path.filename().string();
  if (Match == TNameMatch::Exact || Leaf.find_first_of("*?") == std::string::npos) return RegularFileSize(Path);

  const fs::path Folder = Path.has_parent_path() ? Path.parent_path() : fs::path(".");
  std::error_code Error;
  std::vector<fs::path> Matches;
  for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error))
    if (WildcardMatch(Leaf, It->path().filename().string())) Matches.push_back(It->path());
  std::sort(Matches.begin(), Matches.end());
  for (const fs::path& Match : Matches) {
    const int64_t Size = RegularFileSize(Match);
    if (Size >= 0) return Size;
  }
  return -1;
}
