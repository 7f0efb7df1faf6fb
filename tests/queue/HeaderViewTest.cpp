// SPDX-License-Identifier: GPL-3.0-or-later
// The header view: every field decoded from a table of headers, bad headers
// said in the header check's words, and mending that touches only the two
// checksums.
#include <gtest/gtest.h>

#include <functional>

#include "core/queue/GameQueue.h"
#include "core/queue/HeaderCheck.h"
#include "core/queue/HeaderMend.h"
#include "core/queue/HeaderView.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestFrontEnd.h"

namespace {

// A good game with a header built field by field.
std::vector<uint8_t> Game(uint32_t Size, const std::function<void(std::vector<uint8_t>&)>& Set) {
  std::vector<uint8_t> G = MakeGame(Size, "", 7);
  std::fill(G.begin() + 0x100, G.begin() + 0x150, 0);
  G[0x100] = 0x00, G[0x101] = 0xC3, G[0x102] = 0x50, G[0x103] = 0x01;
  std::copy(HeaderLogo, HeaderLogo + HeaderLogoSize, G.begin() + HeaderLogoOffset);
  uint8_t Code = 0;
  while ((0x8000u << Code) < Size) ++Code;
  G[0x148] = Code;
  Set(G);
  G[HeaderChecksumOffset] = HeaderChecksum(G.data());
  const uint16_t Global = GlobalChecksum(G.data(), static_cast<int64_t>(G.size()));
  G[0x14E] = static_cast<uint8_t>(Global >> 8), G[0x14F] = static_cast<uint8_t>(Global);
  return G;
}

void Put(std::vector<uint8_t>& G, uint32_t At, const std::string& Text) {
  std::copy(Text.begin(), Text.end(), G.begin() + At);
}

TGameHeader Decode(const std::vector<uint8_t>& G) {
  TGameHeader H;
  EXPECT_TRUE(DecodeGameHeader(G.data(), static_cast<int64_t>(G.size()), static_cast<int64_t>(G.size()), H));
  return H;
}

std::string Lines(const TGameHeader& H) {
  std::string Text;
  for (const std::string& Line : HeaderViewLines(H, [](const std::string& S) { return S; })) Text += Line + "\n";
  return Text;
}

}  // namespace

TEST(HeaderView, DecodesEachClassOfHeader) {
  const struct {
    const char* What;
    std::function<void(std::vector<uint8_t>&)> Set;
    std::function<void(const TGameHeader&)> Expect;
  } Cases[] = {
      {"plain ROM, old licensee, Japan",
       [](auto& G) { Put(G, 0x134, "TETRIS"); G[0x14B] = 0x01; G[0x14C] = 1; },
       [](const TGameHeader& H) {
         EXPECT_EQ(H.Title, "TETRIS");
         EXPECT_EQ(H.Colour, TColourSupport::None);
         EXPECT_EQ(H.Cartridge.Name, "ROM only");
         EXPECT_EQ(H.Licensee, "Nintendo");
         EXPECT_EQ(H.Destination, 0);
         EXPECT_EQ(H.Version, 1);
         EXPECT_EQ(H.EntryText, "nop; jp 0x0150");
         EXPECT_EQ(H.RamSize, 0);
         EXPECT_TRUE(H.LogoValid);
         EXPECT_TRUE(H.Problems.empty());
       }},
      {"MBC1 with RAM and battery, SGB, new licensee",
       [](auto& G) { Put(G, 0x134, "SGBGAME"); G[0x146] = 3; G[0x147] = 0x03; G[0x149] = 2; G[0x14B] = 0x33; Put(G, 0x144, "01"); },
       [](const TGameHeader& H) {
         EXPECT_TRUE(H.SgbSupport);
         EXPECT_EQ(H.Cartridge.Name, "MBC1+RAM+BATTERY");
         EXPECT_TRUE(H.Cartridge.Battery);
         EXPECT_EQ(H.RamSize, 8192);
         EXPECT_EQ(H.Licensee, "Nintendo R&D1");
       }},
      {"MBC3 with timer",
       [](auto& G) { G[0x147] = 0x10; G[0x149] = 3; },
       [](const TGameHeader& H) {
         EXPECT_EQ(H.Cartridge.Name, "MBC3+TIMER+RAM+BATTERY");
         EXPECT_TRUE(H.Cartridge.Timer);
         EXPECT_EQ(H.RamSize, 32768);
       }},
      {"MBC5 with rumble, works on both, title of 15 bytes",
       [](auto& G) { Put(G, 0x134, "COLOUR TITLE 15"); G[0x143] = 0x80; G[0x147] = 0x1E; },
       [](const TGameHeader& H) {
         EXPECT_EQ(H.Colour, TColourSupport::Both);
         EXPECT_EQ(H.Title, "COLOUR TITLE 15") << "the flag byte is not part of it";
         EXPECT_EQ(H.Manufacturer, "") << "a blank is no manufacturer code";
         EXPECT_EQ(H.Cartridge.Name, "MBC5+RUMBLE+RAM+BATTERY");
         EXPECT_TRUE(H.Cartridge.Rumble);
       }},
      {"colour only, with a manufacturer code",
       [](auto& G) { Put(G, 0x134, "ZELDA"); Put(G, 0x13F, "AZ7E"); G[0x143] = 0xC0; G[0x147] = 0x1B; G[0x14A] = 1; },
       [](const TGameHeader& H) {
         EXPECT_EQ(H.Colour, TColourSupport::ColourOnly);
         EXPECT_EQ(H.Title, "ZELDA");
         EXPECT_EQ(H.Manufacturer, "AZ7E");
         EXPECT_EQ(H.Destination, 1);
       }},
      {"a title of 16 bytes without colour flag",
       [](auto& G) { Put(G, 0x134, "SIXTEEN CHARS..."); },
       [](const TGameHeader& H) { EXPECT_EQ(H.Title, "SIXTEEN CHARS..."); }},
      {"unknown codes",
       [](auto& G) { G[0x147] = 0x42; G[0x149] = 9; G[0x14B] = 0x33; Put(G, 0x144, "ZZ"); G[0x100] = 0x76; },
       [](const TGameHeader& H) {
         EXPECT_EQ(H.Cartridge.Name, "Unknown (0x42)");
         EXPECT_FALSE(H.Cartridge.Known);
         EXPECT_EQ(H.RamSize, -1);
         EXPECT_EQ(H.Licensee, "Unknown (new code \"ZZ\")");
         EXPECT_NE(H.EntryText.find("no jump"), std::string::npos);
       }},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    C.Expect(Decode(Game(0x10000, C.Set)));
  }
}

TEST(HeaderView, BadHeadersSayWhatIsWrongInTheCheckWords) {
  std::vector<uint8_t> G = Game(0x8000, [](auto& G) { Put(G, 0x134, "BROKEN"); });
  G[HeaderLogoOffset + 3] ^= 0x10;
  G[HeaderChecksumOffset] ^= 0xFF;
  G[0x200] ^= 0x01;   // the global checksum no longer holds
  const TGameHeader H = Decode(G);
  EXPECT_FALSE(H.LogoValid);
  ASSERT_EQ(H.Problems.size(), 2u);
  const std::vector<std::string> Checked = CheckHeaderBytes(G.data(), static_cast<int64_t>(G.size()),
                                                            static_cast<int64_t>(G.size()));
  EXPECT_EQ(H.Problems, Checked);
  const std::string Text = Lines(H);
  EXPECT_NE(Text.find("Logo: NOT valid: a real console will not start this game"), std::string::npos) << Text;
  EXPECT_NE(Text.find("Header checksum: 0x"), std::string::npos);
  EXPECT_NE(Text.find("(wrong: computed 0x"), std::string::npos) << Text;
  EXPECT_NE(Text.find("Global checksum: 0x"), std::string::npos);
  EXPECT_NE(Text.find("(differs: computed 0x"), std::string::npos) << Text;
  EXPECT_NE(Text.find("Problem: the game has no Game Boy logo"), std::string::npos) << Text;

  // Only the header read (a card game's first block): no global sum.
  TGameHeader Head;
  ASSERT_TRUE(DecodeGameHeader(G.data(), 512, static_cast<int64_t>(G.size()), Head));
  EXPECT_FALSE(Head.GlobalChecksumComputed.has_value());
  EXPECT_NE(Lines(Head).find("not computed"), std::string::npos);
  EXPECT_FALSE(DecodeGameHeader(G.data(), 0x14F, 0x14F, Head)) << "too short for a header";
}

TEST(HeaderMend, SetsBothChecksumsAndNothingElse) {
  std::vector<uint8_t> G = Game(0x8000, [](auto& G) { Put(G, 0x134, "MEND"); });
  const std::vector<uint8_t> Good = G;
  EXPECT_FALSE(MendHeaderBytes(G.data(), static_cast<int64_t>(G.size()))) << "a good header needs nothing";
  G[HeaderChecksumOffset] ^= 0x55;
  G[0x14E] ^= 0x12;
  G[HeaderLogoOffset] ^= 0x01;   // a wrong logo stays wrong
  std::vector<uint8_t> Expected = Good;
  Expected[HeaderLogoOffset] ^= 0x01;
  Expected[HeaderChecksumOffset] = HeaderChecksum(Expected.data());
  const uint16_t Global = GlobalChecksum(Expected.data(), static_cast<int64_t>(Expected.size()));
  Expected[0x14E] = static_cast<uint8_t>(Global >> 8), Expected[0x14F] = static_cast<uint8_t>(Global);
  EXPECT_TRUE(MendHeaderBytes(G.data(), static_cast<int64_t>(G.size())));
  EXPECT_EQ(G, Expected);
  EXPECT_FALSE(Decode(G).LogoValid);
}

TEST(HeaderMend, CopiesLeaveTheFileAsItWasAndGoAway) {
  TScratchDir Dir;
  TTestFrontEnd FrontEnd;
  std::vector<uint8_t> Bad = Game(0x8000, [](auto& G) { Put(G, 0x134, "BAD"); });
  Bad[HeaderChecksumOffset] ^= 0x01;
  const std::vector<uint8_t> Good = Game(0x8000, [](auto& G) { Put(G, 0x134, "GOOD"); });
  WriteBytes(Dir.File("bad.gb"), Bad);
  WriteBytes(Dir.File("good.gb"), Good);
  TGameQueue Queue;
  ASSERT_TRUE(Queue.AddGameFile(Dir.File("bad.gb"), FrontEnd));
  ASSERT_TRUE(Queue.AddGameFile(Dir.File("good.gb"), FrontEnd));
  {
    TMendedCopies Copies;
    std::string Error;
    for (size_t I = 0; I < Queue.Count(); ++I) {
      bool Mended = false;
      ASSERT_TRUE(Copies.Mend(Queue, I, Mended, Error)) << Error;
      EXPECT_EQ(Mended, Queue.Rows()[I].Title == "BAD");
    }
    ASSERT_EQ(Copies.Files().size(), 1u);
    EXPECT_EQ(ReadBytes(Dir.File("bad.gb")), Bad) << "the user's file is never changed";
    const size_t BadRow = Queue.Rows()[0].Title == "BAD" ? 0 : 1;
    EXPECT_EQ(Queue.Rows()[BadRow].FileName, Copies.Files()[0]);
    EXPECT_EQ(Queue.Rows()[1 - BadRow].FileName, Dir.File("good.gb"));
    const std::vector<uint8_t> Copy = ReadBytes(Copies.Files()[0]);
    EXPECT_TRUE(CheckHeaderBytes(Copy.data(), static_cast<int64_t>(Copy.size()), static_cast<int64_t>(Copy.size())).empty());
    EXPECT_EQ(Dir.TempFiles(), 1u);
  }
  EXPECT_EQ(Dir.TempFiles(), 0u) << "the copies go with their owner";

  // A file that changed length since it was queued is not mended blindly.
  TGameQueue Other;
  ASSERT_TRUE(Other.AddGameFile(Dir.File("bad.gb"), FrontEnd));
  WriteBytes(Dir.File("bad.gb"), std::vector<uint8_t>(Bad.begin(), Bad.begin() + 0x4000));
  TMendedCopies Copies;
  bool Mended = true;
  std::string Error;
  EXPECT_FALSE(Copies.Mend(Other, 0, Mended, Error));
  EXPECT_NE(Error.find("cannot be read whole"), std::string::npos) << Error;
}
