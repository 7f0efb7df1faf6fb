// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HeaderCommand.h"

#include <cstdio>

#include "cli/Commands.h"
#include "cli/DatSupport.h"
#include "cli/ExitCodes.h"
#include "cli/JsonOutcome.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/queue/HeaderView.h"

namespace {

bool IsIndex(const std::string& Text) {
  return !Text.empty() && Text.size() <= 6 && Text.find_first_not_of("0123456789") == std::string::npos &&
         std::stoul(Text) > 0;
}

TJson HeaderFacts(const TGameHeader& H, const std::string& Source) {
  const auto Number = [](int64_t Value) { return Value < 0 ? TJson(nullptr) : TJson(Value); };
  TJson Problems = TJson::array();
  for (const std::string& Problem : H.Problems) Problems.push_back(JsonTitle(Problem));
  return {{"source", JsonPath(Source)},
          {"title", JsonTitle(H.Title)},
          {"manufacturer", JsonTitle(H.Manufacturer)},
          {"entry", JsonTitle(H.EntryText)},
          {"logo_valid", H.LogoValid},
          {"colour_flag", H.ColourFlag},
          {"colour", JsonTitle(ColourSupportText(H.Colour))},
          {"sgb_flag", H.SgbFlag},
          {"sgb", H.SgbSupport},
          {"old_licensee", H.OldLicensee},
          {"new_licensee", JsonTitle(H.NewLicensee)},
          {"licensee", JsonTitle(H.Licensee)},
          {"cartridge_type", H.Cartridge.Code},
          {"cartridge", JsonTitle(H.Cartridge.Name)},
          {"mapper", JsonTitle(H.Cartridge.Mapper)},
          {"ram", H.Cartridge.Ram},
          {"battery", H.Cartridge.Battery},
          {"timer", H.Cartridge.Timer},
          {"rumble", H.Cartridge.Rumble},
          {"rom_size_code", H.RomSizeCode},
          {"rom_size", Number(H.RomSize)},
          {"ram_size_code", H.RamSizeCode},
          {"ram_size", Number(H.RamSize)},
          {"destination", H.Destination},
          {"version", H.Version},
          {"header_checksum", H.HeaderChecksum},
          {"header_checksum_computed", H.HeaderChecksumComputed},
          {"global_checksum", H.GlobalChecksum},
          {"global_checksum_computed",
           H.GlobalChecksumComputed ? TJson(*H.GlobalChecksumComputed) : TJson(nullptr)},
          {"size", Number(H.FileSize)},
          {"problems", Problems}};
}

}  // namespace

int THeaderCommand::Run(TCliSession& Session, const TCommandArgs& Args) {
  (void)Args;
  const std::string& What = Args.Positionals[0];
  TGameHeader Header;
  std::string Source = What;
  if (IsIndex(What)) {
    if (!Session.OpenPort() || !Session.Connect()) return Session.Outcome(false);
    TCardRowVector Rows;
    if (!Session.ListWholePage(Rows)) return Session.Outcome(false);
    const size_t Index = std::stoul(What);
    if (Index > Rows.Rows.size()) {
      Session.FrontEnd.Error("no game " + What + " on " + Session.PageName() + ": it lists " +
                             std::to_string(Rows.Rows.size()) + " game(s)");
      return Session.Outcome(false);
    }
    // The whole game, so that the global checksum is computed too.
    const TCardRow& Row = Rows.Rows[Index - 1];
    std::vector<uint8_t> Bytes;
    TGameHashes Hashes;
    const bool Read = HashCardGame(Session, Row, Hashes, &Bytes);
    Session.CloseOperation();
    if (!Read) return Session.Outcome(false);
    DecodeGameHeader(Bytes.data(), static_cast<int64_t>(Bytes.size()), static_cast<int64_t>(Bytes.size()), Header);
    Source = Session.PageName() + " game " + What;
  } else {
    std::string Error;
    if (!DecodeGameFile(What, Header, Error)) {
      Session.FrontEnd.Error(Error);
      return ExitFailed;
    }
  }
  Session.FrontEnd.Finish();
  Session.Json.Facts().update(HeaderFacts(Header, Source));
  std::printf("%s\n", Source.c_str());
  for (const std::string& Line : HeaderViewLines(Header, DisplayTitle)) std::printf("  %s\n", Line.c_str());
  std::fflush(stdout);
  if (!Header.Problems.empty()) return ExitFailed;
  return IsIndex(What) ? Session.Outcome(true) : ExitOk;
}
