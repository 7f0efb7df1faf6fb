// SPDX-License-Identifier: GPL-3.0-or-later
// The names behind the header's codes: cartridge hardware, publishers, sizes.
#include <cstdio>
#include <string>

#include "core/queue/HeaderView.h"

namespace {

struct TTypeRow {
  uint8_t Code;
  const char* Mapper;
  bool Ram, Battery, Timer, Rumble, Sensor;
};

// Every cartridge type a released game or accessory used.
constexpr TTypeRow TypeRows[] = {
    {0x00, "ROM only", false, false, false, false, false},
    {0x01, "MBC1", false, false, false, false, false},
    {0x02, "MBC1", true, false, false, false, false},
    {0x03, "MBC1", true, true, false, false, false},
    {0x05, "MBC2", false, false, false, false, false},
    {0x06, "MBC2", false, true, false, false, false},
    {0x08, "ROM", true, false, false, false, false},
    {0x09, "ROM", true, true, false, false, false},
    {0x0B, "MMM01", false, false, false, false, false},
    {0x0C, "MMM01", true, false, false, false, false},
    {0x0D, "MMM01", true, true, false, false, false},
    {0x0F, "MBC3", false, true, true, false, false},
    {0x10, "MBC3", true, true, true, false, false},
    {0x11, "MBC3", false, false, false, false, false},
    {0x12, "MBC3", true, false, false, false, false},
    {0x13, "MBC3", true, true, false, false, false},
    {0x19, "MBC5", false, false, false, false, false},
    {0x1A, "MBC5", true, false, false, false, false},
    {0x1B, "MBC5", true, true, false, false, false},
    {0x1C, "MBC5", false, false, false, true, false},
    {0x1D, "MBC5", true, false, false, true, false},
    {0x1E, "MBC5", true, true, false, true, false},
    {0x20, "MBC6", false, false, false, false, false},
    {0x22, "MBC7", true, true, false, true, true},
    {0xFC, "Pocket Camera", false, false, false, false, false},
    {0xFD, "TAMA5", false, false, false, false, false},
    {0xFE, "HuC3", false, false, false, false, false},
    {0xFF, "HuC1", true, true, false, false, false},
};

struct TCodeName {
  const char* Code;
  const char* Name;
};

// The two-character codes, used when the old code is 0x33.
constexpr TCodeName NewLicensees[] = {
    {"00", "None"}, {"01", "Nintendo R&D1"}, {"08", "Capcom"}, {"13", "Electronic Arts"}, {"18", "Hudson Soft"},
    {"19", "B-AI"}, {"20", "KSS"}, {"22", "Planning Office WADA"}, {"24", "PCM Complete"}, {"25", "San-X"},
    {"28", "Kemco"}, {"29", "SETA Corporation"}, {"30", "Viacom"}, {"31", "Nintendo"}, {"32", "Bandai"},
    {"33", "Ocean Software/Acclaim Entertainment"}, {"34", "Konami"}, {"35", "HectorSoft"}, {"37", "Taito"},
    {"38", "Hudson Soft"}, {"39", "Banpresto"}, {"41", "Ubi Soft"}, {"42", "Atlus"}, {"44", "Malibu Interactive"},
    {"46", "Angel"}, {"47", "Bullet-Proof Software"}, {"49", "Irem"}, {"50", "Absolute"},
    {"51", "Acclaim Entertainment"}, {"52", "Activision"}, {"53", "Sammy USA Corporation"}, {"54", "Konami"},
    {"55", "Hi Tech Expressions"}, {"56", "LJN"}, {"57", "Matchbox"}, {"58", "Mattel"},
    {"59", "Milton Bradley Company"}, {"60", "Titus Interactive"}, {"61", "Virgin Games Ltd."},
    {"64", "Lucasfilm Games"}, {"67", "Ocean Software"}, {"69", "Electronic Arts"}, {"70", "Infogrames"},
    {"71", "Interplay Entertainment"}, {"72", "Broderbund"}, {"73", "Sculptured Software"},
    {"75", "The Sales Curve Limited"}, {"78", "THQ"}, {"79", "Accolade"}, {"80", "Misawa Entertainment"},
    {"83", "LOZC"}, {"86", "Tokuma Shoten"}, {"87", "Tsukuda Original"}, {"91", "Chunsoft"}, {"92", "Video System"},
    {"93", "Ocean Software/Acclaim Entertainment"}, {"95", "Varie"}, {"96", "Yonezawa/S'Pal"}, {"97", "Kaneko"},
    {"99", "Pack-In-Video"}, {"9H", "Bottom Up"}, {"A4", "Konami"}, {"BL", "MTO"}, {"DK", "Kodansha"},
};

struct TByteName {
  uint8_t Code;
  const char* Name;
};

constexpr TByteName OldLicensees[] = {
    {0x00, "None"}, {0x01, "Nintendo"}, {0x08, "Capcom"}, {0x09, "HOT-B"}, {0x0A, "Jaleco"},
    {0x0B, "Coconuts Japan"}, {0x0C, "Elite Systems"}, {0x13, "Electronic Arts"}, {0x18, "Hudson Soft"},
    {0x19, "ITC Entertainment"}, {0x1A, "Yanoman"}, {0x1D, "Japan Clary"}, {0x1F, "Virgin Games Ltd."},
    {0x24, "PCM Complete"}, {0x25, "San-X"}, {0x28, "Kemco"}, {0x29, "SETA Corporation"}, {0x30, "Infogrames"},
    {0x31, "Nintendo"}, {0x32, "Bandai"}, {0x34, "Konami"}, {0x35, "HectorSoft"}, {0x38, "Capcom"},
    {0x39, "Banpresto"}, {0x3C, "Entertainment Interactive"}, {0x3E, "Gremlin"}, {0x41, "Ubi Soft"},
    {0x42, "Atlus"}, {0x44, "Malibu Interactive"}, {0x46, "Angel"}, {0x47, "Spectrum HoloByte"}, {0x49, "Irem"},
    {0x4A, "Virgin Games Ltd."}, {0x4D, "Malibu Interactive"}, {0x4F, "U.S. Gold"}, {0x50, "Absolute"},
    {0x51, "Acclaim Entertainment"}, {0x52, "Activision"}, {0x53, "Sammy USA Corporation"}, {0x54, "GameTek"},
    {0x55, "Park Place"}, {0x56, "LJN"}, {0x57, "Matchbox"}, {0x59, "Milton Bradley Company"}, {0x5A, "Mindscape"},
    {0x5B, "Romstar"}, {0x5C, "Naxat Soft"}, {0x5D, "Tradewest"}, {0x60, "Titus Interactive"},
    {0x61, "Virgin Games Ltd."}, {0x67, "Ocean Software"}, {0x69, "Electronic Arts"}, {0x6E, "Elite Systems"},
    {0x6F, "Electro Brain"}, {0x70, "Infogrames"}, {0x71, "Interplay Entertainment"}, {0x72, "Broderbund"},
    {0x73, "Sculptured Software"}, {0x75, "The Sales Curve Limited"}, {0x78, "THQ"}, {0x79, "Accolade"},
    {0x7A, "Triffix Entertainment"}, {0x7C, "MicroProse"}, {0x7F, "Kemco"}, {0x80, "Misawa Entertainment"},
    {0x83, "LOZC"}, {0x86, "Tokuma Shoten"}, {0x8B, "Bullet-Proof Software"}, {0x8C, "Vic Tokai"},
    {0x8E, "Ape Inc."}, {0x8F, "I'Max"}, {0x91, "Chunsoft"}, {0x92, "Video System"},
    {0x93, "Tsubaraya Productions"}, {0x95, "Varie"}, {0x96, "Yonezawa/S'Pal"}, {0x97, "Kemco"}, {0x99, "Arc"},
    {0x9A, "Nihon Bussan"}, {0x9B, "Tecmo"}, {0x9C, "Imagineer"}, {0x9D, "Banpresto"}, {0x9F, "Nova"},
    {0xA1, "Hori Electric"}, {0xA2, "Bandai"}, {0xA4, "Konami"}, {0xA6, "Kawada"}, {0xA7, "Takara"},
    {0xA9, "Technos Japan"}, {0xAA, "Broderbund"}, {0xAC, "Toei Animation"}, {0xAD, "Toho"}, {0xAF, "Namco"},
    {0xB0, "Acclaim Entertainment"}, {0xB1, "ASCII Corporation or Nexsoft"}, {0xB2, "Bandai"},
    {0xB4, "Square Enix"}, {0xB6, "HAL Laboratory"}, {0xB7, "SNK"}, {0xB9, "Pony Canyon"}, {0xBA, "Culture Brain"},
    {0xBB, "Sunsoft"}, {0xBD, "Sony Imagesoft"}, {0xBF, "Sammy Corporation"}, {0xC0, "Taito"}, {0xC2, "Kemco"},
    {0xC3, "Square"}, {0xC4, "Tokuma Shoten"}, {0xC5, "Data East"}, {0xC6, "Tonkin House"}, {0xC8, "Koei"},
    {0xC9, "UFL"}, {0xCA, "Ultra Games"}, {0xCB, "VAP"}, {0xCC, "Use Corporation"}, {0xCD, "Meldac"},
    {0xCE, "Pony Canyon"}, {0xCF, "Angel"}, {0xD0, "Taito"}, {0xD1, "SOFEL"}, {0xD2, "Quest"},
    {0xD3, "Sigma Enterprises"}, {0xD4, "ASK Kodansha"}, {0xD6, "Naxat Soft"}, {0xD7, "Copya System"},
    {0xD9, "Banpresto"}, {0xDA, "Tomy"}, {0xDB, "LJN"}, {0xDD, "Nippon Computer Systems"}, {0xDE, "Human Ent."},
    {0xDF, "Altron"}, {0xE0, "Jaleco"}, {0xE1, "Towa Chiki"}, {0xE2, "Yutaka"}, {0xE3, "Varie"}, {0xE5, "Epoch"},
    {0xE7, "Athena"}, {0xE8, "Asmik Ace Entertainment"}, {0xE9, "Natsume"}, {0xEA, "King Records"},
    {0xEB, "Atlus"}, {0xEC, "Epic/Sony Records"}, {0xEE, "IGS"}, {0xF0, "A Wave"},
    {0xF3, "Extreme Entertainment"}, {0xFF, "LJN"},
};

std::string Hex2(unsigned Value) {
  char Text[8];
  std::snprintf(Text, sizeof Text, "0x%02X", Value & 0xFF);
  return Text;
}

}  // namespace

TCartridgeType CartridgeTypeOf(uint8_t Code) {
  TCartridgeType Type;
  Type.Code = Code;
  for (const TTypeRow& Row : TypeRows) {
    if (Row.Code != Code) continue;
    Type.Known = true;
    Type.Mapper = Row.Mapper;
    Type.Ram = Row.Ram;
    Type.Battery = Row.Battery;
    Type.Timer = Row.Timer;
    Type.Rumble = Row.Rumble;
    Type.Sensor = Row.Sensor;
    // The customary short form: mapper, then what the board adds.
    Type.Name = Row.Mapper;
    if (Row.Timer) Type.Name += "+TIMER";
    if (Row.Sensor) Type.Name += "+SENSOR";
    if (Row.Rumble) Type.Name += "+RUMBLE";
    if (Row.Ram) Type.Name += "+RAM";
    if (Row.Battery) Type.Name += "+BATTERY";
    return Type;
  }
  Type.Name = "Unknown (" + Hex2(Code) + ")";
  return Type;
}

std::string LicenseeName(uint8_t OldCode, const std::string& NewCode) {
  if (OldCode == 0x33) {
    for (const TCodeName& Row : NewLicensees)
      if (NewCode == Row.Code) return Row.Name;
    return "Unknown (new code \"" + NewCode + "\")";
  }
  for (const TByteName& Row : OldLicensees)
    if (Row.Code == OldCode) return Row.Name;
  return "Unknown (old code " + Hex2(OldCode) + ")";
}

int64_t HeaderRomSize(uint8_t Code) {
  if (Code <= 8) return int64_t{0x8000} << Code;
  // Three sizes that a few boards used and the card listing cannot place.
  if (Code == 0x52) return 72 * 0x4000;
  if (Code == 0x53) return 80 * 0x4000;
  if (Code == 0x54) return 96 * 0x4000;
  return -1;
}

int64_t HeaderRamSize(uint8_t Code) {
  switch (Code) {
    case 0: return 0;
    case 1: return 2048;
    case 2: return 8192;
    case 3: return 32768;
    case 4: return 131072;
    case 5: return 65536;
    default: return -1;
  }
}
