// SPDX-License-Identifier: GPL-3.0-or-later
// Reading DAT files the tests write themselves, judging dumps against them,
// and every kind of bad DAT input a user may point the program at.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/dat/DatFile.h"
#include "core/dat/DatVerdict.h"
#include "core/dat/GameHashes.h"
#include "tests/support/TestFiles.h"

namespace {

void WriteText(const std::string& File, const std::string& Text) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out << Text;
}

std::string Rom(const std::string& Game, const std::string& Rom, const TGameHashes& H) {
  return "  <game name=\"" + Game + "\">\n    <description>" + Game + "</description>\n    <rom name=\"" + Rom +
         "\" size=\"" + std::to_string(H.Size) + "\" crc=\"" + Crc32Text(H.Crc32) + "\" md5=\"" +
         std::string(32, '0') + "\" sha1=\"" + Sha1Text(H.Sha1) + "\"/>\n  </game>\n";
}

std::string Dat(const std::string& Games) {
  return "<?xml version=\"1.0\"?>\n"
         "<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
         "\"http://www.logiqx.com/Dats/datafile.dtd\">\n"
         "<datafile>\n  <header>\n    <name>Test - Game Boy</name>\n  </header>\n" +
         Games + "</datafile>\n";
}

}  // namespace

TEST(GameHashes, KnownValuesFromBytesAndFiles) {
  const std::string Text = "The quick brown fox jumps over the lazy dog";
  const TGameHashes H = HashBytes(reinterpret_cast<const uint8_t*>(Text.data()), Text.size());
  EXPECT_EQ(Crc32Text(H.Crc32), "414fa339");
  EXPECT_EQ(Sha1Text(H.Sha1), "2fd4e1c67a2d28fced849ee1bb76e7391b93eb12");
  TScratchDir Dir;
  WriteText(Dir.File("fox"), Text);
  TGameHashes FromFile;
  std::string Error;
  ASSERT_TRUE(HashFile(Dir.File("fox"), FromFile, Error)) << Error;
  EXPECT_EQ(FromFile.Crc32, H.Crc32);
  EXPECT_EQ(FromFile.Sha1, H.Sha1);
  EXPECT_EQ(FromFile.Size, Text.size());
  EXPECT_FALSE(HashFile(Dir.File("none"), FromFile, Error));
  EXPECT_NE(Error.find("none: cannot be opened"), std::string::npos) << Error;
}

TEST(DatFile, JudgesMatchingDifferingAndUnknownDumps) {
  TScratchDir Dir;
  const std::vector<uint8_t> Good = MakeGame(0x8000, "ALPHA", 1);
  const std::vector<uint8_t> Other = MakeGame(0x10000, "BRAVO", 2);
  const TGameHashes GoodHashes = HashBytes(Good.data(), Good.size());
  const TGameHashes OtherHashes = HashBytes(Other.data(), Other.size());
  WriteText(Dir.File("test.dat"), Dat(Rom("Alpha (World)", "Alpha (World).gb", GoodHashes) +
                                      Rom("Bravo - The Game (Europe) (Rev 1)", "Bravo - The Game (Europe) (Rev 1).gb",
                                          OtherHashes)));
  TDatFile Dat;
  std::string Error;
  ASSERT_TRUE(Dat.Load(Dir.File("test.dat"), Error)) << Error;
  EXPECT_TRUE(Dat.Warnings().empty());
  ASSERT_EQ(Dat.Entries().size(), 2u);

  std::vector<uint8_t> BadDump = Other;
  BadDump[0x4000] ^= 0x01;
  std::vector<uint8_t> Stranger = MakeGame(0x8000, "CHARLIE", 3);
  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
    std::string Title;
    TDatMatch Match;
    std::string Text;
  } Cases[] = {
      {"a good dump", Good, "ALPHA", TDatMatch::Verified, "verified: Alpha (World)"},
      {"a good dump under another title", Good, "WHATEVER", TDatMatch::Verified, "verified: Alpha (World)"},
      {"one bit flipped", BadDump, "BRAVO", TDatMatch::Differs, "differs from Bravo - The Game (Europe) (Rev 1): bad dump?"},
      {"the title matches, the size does not", std::vector<uint8_t>(Good.begin(), Good.begin() + 0x4000), "ALPHA",
       TDatMatch::Unknown, "not in the DAT"},
      {"a game the DAT does not know", Stranger, "CHARLIE", TDatMatch::Unknown, "not in the DAT"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const TDatVerdict Verdict = JudgeDump(Dat, HashBytes(C.Bytes.data(), C.Bytes.size()), C.Title);
    EXPECT_EQ(Verdict.Match, C.Match);
    EXPECT_EQ(Verdict.Text(), C.Text);
  }
}

TEST(DatFile, TitlesAgreeWithNamesLooselyButNotWithAnything) {
  const struct {
    const char* Title;
    const char* Name;
    bool Agree;
  } Cases[] = {
      {"POKEMON RED", "Pokemon - Red Version (USA, Europe)", true},
      {"TETRIS", "Tetris (World) (Rev A)", true},
      {"ZELDA", "Legend of Zelda, The - Link's Awakening (USA)", false},
      {"", "Anything", false},
      {"KIRBY", "[BIOS] Kirby", true},
      {"MARIO", "Wario Land (Japan)", false},
  };
  for (const auto& C : Cases) EXPECT_EQ(TitleMatchesName(C.Title, C.Name), C.Agree) << C.Title << " / " << C.Name;
}

TEST(DatFile, BadInputGivesClearMessages) {
  TScratchDir Dir;
  const TGameHashes H = HashBytes(reinterpret_cast<const uint8_t*>("x"), 1);
  const std::string GoodRom = Rom("Good", "Good.gb", H);
  const struct {
    const char* What;
    std::string Text;       // written to the file, unless Special
    bool Loads;
    std::string Message;    // a part of the error, or of the first warning
  } Cases[] = {
      {"empty file", "", false, "not a DAT file, its XML is broken (line 1:"},
      {"not XML", "just some text\n", false, "not a DAT file, its XML is broken (line "},
      {"broken XML", "<datafile><game name=\"a\"></datafile>", false, "its XML is broken (line 1:"},
      {"XML but no datafile", "<?xml version=\"1.0\"?>\n<catalog><game/></catalog>", false,
       "not a DAT file (its XML holds no <datafile>, but <catalog>)"},
      {"zip archive", std::string("PK\x03\x04", 4) + "rest", false, "a zip archive; unpack the DAT file"},
      {"no usable entry", Dat("<game name=\"a\"><rom name=\"a.gb\" size=\"12\"/></game>"), false,
       "a DAT file without one usable entry"},
      {"size not a number", Dat(GoodRom + "<game name=\"b\"><rom name=\"b.gb\" size=\"1k\" crc=\"00000000\" sha1=\"" +
                                std::string(40, 'a') + "\"/></game>"),
       true, "line 11: the rom \"b.gb\" has size \"1k\" is not a number of bytes; left out"},
      {"short crc", Dat(GoodRom + "<game name=\"b\"><rom name=\"b.gb\" size=\"1\" crc=\"123\" sha1=\"" +
                        std::string(40, 'a') + "\"/></game>"),
       true, "crc \"123\" is not 8 hexadecimal digits"},
      {"no sha1", Dat(GoodRom + "<game name=\"b\"><rom name=\"b.gb\" size=\"1\" crc=\"12345678\"/></game>"), true,
       "has no sha1"},
      {"bad sha1", Dat(GoodRom + "<game name=\"b\"><rom name=\"b.gb\" size=\"1\" crc=\"12345678\" sha1=\"" +
                       std::string(40, 'g') + "\"/></game>"),
       true, "is not 40 hexadecimal digits"},
      {"bad md5", Dat(GoodRom + "<game name=\"b\"><rom name=\"b.gb\" size=\"1\" crc=\"12345678\" md5=\"xyz\" sha1=\"" +
                      std::string(40, 'a') + "\"/></game>"),
       true, "md5 \"xyz\" is not 32 hexadecimal digits"},
      {"duplicate", Dat(GoodRom + GoodRom), true, "\"Good\" is listed again; the duplicate is left out"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    WriteText(Dir.File("case.dat"), C.Text);
    TDatFile Dat;
    std::string Error;
    EXPECT_EQ(Dat.Load(Dir.File("case.dat"), Error), C.Loads) << Error;
    if (C.Loads) {
      ASSERT_FALSE(Dat.Warnings().empty());
      EXPECT_NE(Dat.Warnings().front().find(C.Message), std::string::npos) << Dat.Warnings().front();
      EXPECT_EQ(Dat.Entries().size(), 1u) << "the good entry stays";
    } else {
      EXPECT_EQ(Error.rfind(Dir.File("case.dat") + ": ", 0), 0u) << "names the file: " << Error;
      EXPECT_NE(Error.find(C.Message), std::string::npos) << Error;
    }
  }

  TDatFile Dat;
  std::string Error;
  EXPECT_FALSE(Dat.Load(Dir.File("missing.dat"), Error));
  EXPECT_EQ(Error, Dir.File("missing.dat") + ": no such file");
  EXPECT_FALSE(Dat.Load(Dir.File(""), Error)) << "a folder";
  EXPECT_NE(Error.find("not a regular file"), std::string::npos) << Error;
  ASSERT_EQ(::mkfifo(Dir.File("fifo.dat").c_str(), 0600), 0);
  EXPECT_FALSE(Dat.Load(Dir.File("fifo.dat"), Error)) << "a FIFO is refused, not waited on";
  EXPECT_NE(Error.find("not a regular file"), std::string::npos) << Error;
}

TEST(DatFile, ManyBadEntriesGiveAFewLines) {
  TScratchDir Dir;
  std::string Games = Rom("Good", "Good.gb", HashBytes(reinterpret_cast<const uint8_t*>("x"), 1));
  for (int I = 0; I < 1000; ++I) Games += "<game name=\"g" + std::to_string(I) + "\"><rom name=\"r\" size=\"x\"/></game>\n";
  WriteText(Dir.File("many.dat"), Dat(Games));
  TDatFile Dat;
  std::string Error;
  ASSERT_TRUE(Dat.Load(Dir.File("many.dat"), Error)) << Error;
  ASSERT_EQ(Dat.Warnings().size(), 4u);
  EXPECT_NE(Dat.Warnings().back().find("997 more entries that cannot be used left out"), std::string::npos)
      << Dat.Warnings().back();
}

TEST(DatFile, BackupNamesComeFromTheEntry) {
  const struct {
    const char* Rom;
    const char* Name;
  } Cases[] = {
      {"Alpha (World).gb", "Alpha (World).gb"},
      {"Beta: Part 1/2 (USA).gbc", "Beta_ Part 1_2 (USA).gbc"},
      {"Gamma (Japan)", "Gamma (Japan).gb"},
      {"../../etc/passwd", "_.._etc_passwd.gb"},
      {"...", "Untitled.gb"},
  };
  for (const auto& C : Cases) {
    TDatEntry Entry;
    Entry.Rom = C.Rom;
    EXPECT_EQ(DatBackupName(Entry), C.Name) << C.Rom;
  }
}
