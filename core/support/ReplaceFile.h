#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

// A file the program makes, written whole or not at all. The bytes go into a
// private temporary file beside the target (created exclusively, mode 0600,
// so nothing planted under its name is followed) and only Commit renames it
// over the target; until then the old file, if any, stays exactly as it was,
// and a temporary that is abandoned (a failed write, a stop, an exception)
// is removed. A program killed half-way leaves at most a hidden
// ".NAME.XXXXXX" file in the target's folder, never a short file under
// NAME.
//
// A symbolic link as the target is kept: the file it points to is the one
// replaced. A target that exists but is no regular file (a device such as
// /dev/null, a pipe) cannot be replaced; it is written straight.
class TReplaceFile {
public:
  // Opens the temporary file; Ok() tells whether that worked, Error() why not.
  explicit TReplaceFile(const std::string& Target);
  ~TReplaceFile();
  TReplaceFile(const TReplaceFile&) = delete;
  TReplaceFile& operator=(const TReplaceFile&) = delete;

  bool Ok() const { return FFile != nullptr; }
  // The stream to write to (unbuffered, so a full disk shows at the write
  // that did not fit); null when not Ok.
  std::FILE* File() const { return FFile; }
  bool Write(const void* Data, size_t Count);

  // Flushes the data to the disk and renames the temporary over the target,
  // which gets the old file's permissions (a new one the usual ones). False
  // with Error() set when any of it failed; the temporary is gone then and
  // the target is as it was.
  bool Commit();
  // Removes the temporary; the target stays as it was. Done by the
  // destructor unless Commit succeeded.
  void Abandon();

  // The system's reason of the last failure ("Permission denied"), empty
  // when there was none.
  const std::string& Error() const { return FError; }
  const std::string& Target() const { return FTarget; }
  // The temporary's name (empty when the target is written straight).
  const std::string& TempName() const { return FTemp; }

private:
  std::string FTarget;     // as given
  std::string FFinal;      // what is replaced: the target, or the file its link points to
  std::string FTemp;
  std::FILE* FFile = nullptr;
  bool FDirect = false;
  bool FHadTarget = false;
  unsigned FMode = 0;
  std::string FError;
};

// The system's text for the platform error number Error (errno values).
std::string SystemErrorText(int Error);
