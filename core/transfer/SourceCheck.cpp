#include "core/transfer/SourceCheck.h"

#include <filesystem>
#include <system_error>

#include "core/transfer/WriteEngine.h"

namespace fs = std::filesystem;

TSourceRefusal CheckNamedSource(TCardWriteKind Kind, const std::string& FileName) {
  std::error_code Error;
  const fs::path Path = fs::u8path(FileName);
  const fs::file_status Status = fs::status(Path, Error);
  if (!fs::exists(Status))
    return {WriteOpenSourceError, FileName + ": " + (Error ? Error.message() : "No such file or directory")};
  if (!fs::is_regular_file(Status)) return {WriteOpenSourceError, FileName + ": not a regular file"};
  const uintmax_t Size = fs::file_size(Path, Error);
  if (Error) return {WriteOpenSourceError, FileName + ": " + Error.message()};
  if (Size == 0) return {WriteEmptySourceError, FileName + " holds 0 bytes."};
  if (Kind == TCardWriteKind::SaveRam && Size > SaveRamSize)
    return {WriteSaveTooLarge, "The save RAM holds 131072 bytes."};
  if (Kind == TCardWriteKind::RawImage && Size > FlashImageLimit)
    return {WriteImageTooLarge, "The card holds 8388608 bytes."};
  return {};
}
