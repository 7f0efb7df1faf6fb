// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/SaveBackup.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/support/DataFolder.h"
#include "core/support/DeleteFile.h"
#include "core/transfer/ReadEngine.h"
#include "core/transfer/WriteEngine.h"

namespace fs = std::filesystem;

std::string NewSaveBackupName() {
  const fs::path Folder = fs::path(ProgramDataFolder()) / "backups";
  std::error_code Error;
  fs::create_directories(Folder, Error);
  if (!fs::is_directory(Folder, Error)) return {};
  const std::time_t Now = std::time(nullptr);
  std::tm Local{};
#ifdef _WIN32
  localtime_s(&Local, &Now);
#else
  localtime_r(&Now, &Local);
#endif
  char Stamp[32];
  std::strftime(Stamp, sizeof Stamp, "sram-%Y%m%d-%H%M%S", &Local);
  for (int Try = 1; Try < 1000; ++Try) {
    const std::string Name = std::string(Stamp) + (Try == 1 ? "" : "-" + std::to_string(Try)) + ".sav";
    if (!fs::exists(Folder / Name, Error)) return (Folder / Name).string();
  }
  return {};
}

bool BackupSaveRam(TLink& Link, std::string& File, TTransferOutcome* Outcome) {
  TTransferOutcome Own;
  TTransferOutcome& Out = Outcome ? *Outcome : Own;
  File = NewSaveBackupName();
  if (File.empty()) {
    Out = TTransferOutcome{};
    Out.End = TTransferEnd::FileFailed;
    Out.Reason = ReadFileCreateError;
    Link.FrontEnd().SetStatusText(1, ReadFileCreateError);
    Link.State().Operating = false;
    return false;
  }
  // Save RAM has no pages: the read goes to bare offsets.
  const uint32_t PageBase = Link.State().PageBase;
  Link.State().PageBase = 0;
  const bool Done = ReadToFile(0, SaveRamSize, cmdReadSram, File, Link, &Out);
  Link.State().PageBase = PageBase;
  if (!Done) DeleteFileWait(File, 1000);
  return Done;
}
