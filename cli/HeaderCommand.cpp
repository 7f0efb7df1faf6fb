// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HeaderCommand.h"

#include <cstdio>

#include "cli/Commands.h"
#include "cli/DatSupport.h"
#include "cli/ExitCodes.h"
#include "cli/Session.h"
#include "cli/TitleText.h"
#include "core/queue/HeaderView.h"

namespace {

bool IsIndex(const std::string& Text) {
  return !Text.empty() && Text.size() <= 6 && Text.find_first_not_of("0123456789") == std::string::npos &&
         std::stoul(Text) > 0;
}

std::string Hex(unsigned Value) { return std::to_string(Value); }

std::string Json(const TGameHeader& H, const std::string& Source) {
  const auto Bool = [](bool Value) { return std::string(Value ? "true" : "false"); };
  const auto Number = [](int64_t Value) { return Value < 0 ? std::string("null") : std::to_string(Value); };
  std::string Problems = "[";
  for (size_t I = 0; I < H.Problems.size(); ++I) Problems += (I ? "," : "") + JsonString(H.Problems[I]);
  Problems += "]";
  std::string Out = "{\"source\":" + JsonText(Source) + ",\"title\":" + JsonString(H.Title) +
                    ",\"manufacturer\":" + JsonString(H.Manufacturer) + ",\"entry\":" + JsonString(H.EntryText) +
                    ",\"logo_valid\":" + Bool(H.LogoValid) + ",\"colour_flag\":" + Hex(H.ColourFlag) +
                    ",\"colour\":" + JsonString(ColourSupportText(H.Colour)) + ",\"sgb_flag\":" + Hex(H.SgbFlag) +
                    ",\"sgb\":" + Bool(H.SgbSupport) + ",\"old_licensee\":" + Hex(H.OldLicensee) +
                    ",\"new_licensee\":" + JsonString(H.NewLicensee) + ",\"licensee\":" + JsonString(H.Licensee) +
                    ",\"cartridge_type\":" + Hex(H.Cartridge.Code) + ",\"cartridge\":" + JsonString(H.Cartridge.Name) +
                    ",\"mapper\":" + JsonString(H.Cartridge.Mapper) + ",\"ram\":" + Bool(H.Cartridge.Ram) +
                    ",\"battery\":" + Bool(H.Cartridge.Battery) + ",\"timer\":" + Bool(H.Cartridge.Timer) +
                    ",\"rumble\":" + Bool(H.Cartridge.Rumble) + ",\"rom_size_code\":" + Hex(H.RomSizeCode) +
                    ",\"rom_size\":" + Number(H.RomSize) + ",\"ram_size_code\":" + Hex(H.RamSizeCode) +
                    ",\"ram_size\":" + Number(H.RamSize) + ",\"destination\":" + Hex(H.Destination) +
                    ",\"version\":" + Hex(H.Version) + ",\"header_checksum\":" + Hex(H.HeaderChecksum) +
                    ",\"header_checksum_computed\":" + Hex(H.HeaderChecksumComputed) +
                    ",\"global_checksum\":" + Hex(H.GlobalChecksum) + ",\"global_checksum_computed\":" +
                    (H.GlobalChecksumComputed ? Hex(*H.GlobalChecksumComputed) : std::string("null")) +
                    ",\"size\":" + Number(H.FileSize) + ",\"problems\":" + Problems + "}\n";
  return Out;
}

}  // namespace

int THeaderCommand::Run(TCliSession& Session, const TCommandArgs& Args) {
  const std::string& What = Args.Positionals[0];
  TGameHeader Header;
  std::string Source = What;
  if (IsIndex(What)) {
    if (!Session.OpenPort() || !Session.Connect()) return Session.Outcome(false);
    TCardRowVector Rows;
    TScanTotals Totals;
    Session.ListPage(Rows, Totals);
    if (!Totals.Complete) {
      Session.FrontEnd.Error("the listing of " + Session.PageName() + " stopped at a failed exchange");
      return Session.Outcome(false);
    }
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
  if (Args.Has("--json")) {
    std::fputs(Json(Header, Source).c_str(), stdout);
  } else {
    std::printf("%s\n", Source.c_str());
    for (const std::string& Line : HeaderViewLines(Header, DisplayTitle)) std::printf("  %s\n", Line.c_str());
  }
  std::fflush(stdout);
  if (!Header.Problems.empty()) return ExitFailed;
  return IsIndex(What) ? Session.Outcome(true) : ExitOk;
}
