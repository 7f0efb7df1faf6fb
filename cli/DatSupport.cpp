// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DatSupport.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/dat/DatVerdict.h"
#include "core/link/LinkProtocol.h"
#include "core/transfer/ReadToMemory.h"

namespace fs = std::filesystem;

bool LoadDatArgument(TCliSession& Session, const TCommandArgs& Args, std::unique_ptr<TDatFile>& Dat) {
  Dat.reset();
  const std::optional<std::string> File = Args.Value("--dat");
  if (!File) return true;
  auto Loaded = std::make_unique<TDatFile>();
  std::string Error;
  if (!Loaded->Load(*File, Error)) {
    Session.FrontEnd.Error(Error);
    return false;
  }
  for (const std::string& Warning : Loaded->Warnings()) Session.FrontEnd.Note("Note: " + Warning);
  Dat = std::move(Loaded);
  return true;
}

bool HashCardGame(TCliSession& Session, const TCardRow& Row, TGameHashes& Hashes, std::vector<uint8_t>* Bytes) {
  std::vector<uint8_t> Own;
  std::vector<uint8_t>& Data = Bytes ? *Bytes : Own;
  if (!ReadToMemory(Row.Offset, Row.Offset + Row.Size, cmdReadRom, Session.Link(), Data)) return false;
  Hashes = HashBytes(Data.data(), Data.size());
  return true;
}

std::string DumpLine(const TDatFile* Dat, const TGameHashes& Hashes, const std::string& Title) {
  if (Dat) return JudgeDump(*Dat, Hashes, Title).Text();
  return "crc32 " + Crc32Text(Hashes.Crc32) + "  sha1 " + Sha1Text(Hashes.Sha1);
}

std::string JudgeBackup(TCliSession& Session, const TDatFile* Dat, const std::string& Target, const std::string& Title,
                        bool Rename) {
  TGameHashes Hashes;
  std::string Error;
  if (!HashFile(Target, Hashes, Error)) {
    Session.FrontEnd.Error(Error);
    return Target;
  }
  std::string Now = Target;
  if (Dat && Rename) {
    const TDatVerdict Verdict = JudgeDump(*Dat, Hashes, Title);
    if (Verdict.Match == TDatMatch::Verified) {
      const std::string Named = (fs::path(Target).parent_path() / DatBackupName(*Verdict.Entry)).string();
      std::error_code Code;
      const bool Same = fs::equivalent(Named, Target, Code);
      if (!Same) {
        const bool Exists = fs::exists(Named, Code);
        if (!Exists || Session.FrontEnd.ShowMessageBox(Named + " already exists.\r\nDo you want to replace it?",
                                                       "Confirm Save As", MB_FLAGS_QUESTION) == MB_RESULT_YES) {
          fs::rename(Target, Named, Code);
          if (Code)
            Session.FrontEnd.Note("Note: " + Target + " keeps its name: it cannot be renamed to " + Named + " (" +
                                  Code.message() + ")");
          else
            Now = Named;
        } else {
          Session.FrontEnd.Note("Note: " + Target + " keeps its name; " + Named + " is left as it was.");
        }
      }
    }
  }
  std::printf("%s: %s\n", Now.c_str(), DumpLine(Dat, Hashes, Title).c_str());
  std::fflush(stdout);
  return Now;
}

TJson DatFacts(const TDatVerdict& Verdict) {
  return {{"dat", Verdict.Word()}, {"dat_name", Verdict.Entry ? TJson(Verdict.Entry->Game) : TJson(nullptr)}};
}

bool JudgeCardRows(TCliSession& Session, const TDatFile& Dat, const TCardRowVector& Rows,
                   std::vector<std::string>& Verdicts, std::vector<TJson>& JsonFields) {
  for (const TCardRow& Row : Rows.Rows) {
    TGameHashes Hashes;
    if (!HashCardGame(Session, Row, Hashes)) return false;
    const TDatVerdict Verdict = JudgeDump(Dat, Hashes, Row.Title);
    Verdicts.push_back(Verdict.Text());
    JsonFields.push_back(DatFacts(Verdict));
  }
  Session.State.Operating = false;
  return true;
}
