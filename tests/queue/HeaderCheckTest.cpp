// SPDX-License-Identifier: GPL-3.0-or-later
// The header checks a file meets before it is queued: each fault named,
// a good game passing, the texts the front ends show.
#include <gtest/gtest.h>

#include <functional>

#include "core/queue/HeaderCheck.h"
#include "tests/support/TestFiles.h"

namespace {

// A game that passes every check: whole logo, right checksum, its size.
std::vector<uint8_t> GoodGame(uint32_t Size) {
  std::vector<uint8_t> Game = MakeGame(Size, "GOOD", 3);
  std::copy(HeaderLogo, HeaderLogo + HeaderLogoSize, Game.begin() + HeaderLogoOffset);
  Game[HeaderChecksumOffset] = HeaderChecksum(Game.data());
  return Game;
}

void Resum(std::vector<uint8_t>& Game) { Game[HeaderChecksumOffset] = HeaderChecksum(Game.data()); }

TEST(HeaderCheck, EachFaultIsNamed) {
  const struct {
    const char* What;
    std::function<void(std::vector<uint8_t>&)> Spoil;
    std::vector<std::string> Problems;   // a part of each problem's text, in order
  } Cases[] = {
      {"a good game", [](auto&) {}, {}},
      {"no logo", [](auto& G) { G[HeaderLogoOffset + 7] ^= 0xFF; }, {"has no Game Boy logo"}},
      {"wrong checksum", [](auto& G) { G[HeaderChecksumOffset] ^= 0x01; }, {"wrong header checksum"}},
      {"ROM-size code 9", [](auto& G) { G[0x148] = 9; Resum(G); }, {"ROM-size code 9, none of 0 to 7"}},
      {"short against its header", [](auto& G) { G[0x148] = 2; Resum(G); }, {"is shorter (64 KiB) than its header says (128 KiB)"}},
      {"long against its header", [](auto& G) { G[0x148] = 0; Resum(G); }, {"is longer (64 KiB) than its header says (32 KiB)"}},
      {"odd length", [](auto& G) { G.resize(0x10000 + 100); },
       {"is longer (65636 bytes) than its header says (64 KiB)", "not a whole number of 32 KiB blocks"}},
      {"random bytes", [](auto& G) { std::fill(G.begin() + 0x100, G.begin() + 0x150, 0x5A); },
       {"has no Game Boy logo", "wrong header checksum", "ROM-size code 90"}},
      {"too short for a header", [](auto& G) { G.resize(0x100); }, {"too short to hold a Game Boy header"}},
  };
  TScratchDir Dir;
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    std::vector<uint8_t> Game = GoodGame(0x10000);
    C.Spoil(Game);
    const std::string File = Dir.File("game.gb");
    WriteBytes(File, Game);
    const std::vector<std::string> Problems = CheckGameHeader(File);
    ASSERT_EQ(Problems.size(), C.Problems.size()) << (Problems.empty() ? "" : Problems.front());
    for (size_t I = 0; I < Problems.size(); ++I)
      EXPECT_NE(Problems[I].find(C.Problems[I]), std::string::npos) << Problems[I];
  }
  EXPECT_EQ(CheckGameHeader(Dir.File("missing.gb")), std::vector<std::string>{"cannot be read"});
}

TEST(HeaderCheck, TextsNameTheFileAndAsk) {
  const std::vector<std::string> Problems = {"has no Game Boy logo: the card scan and the boot menu will never see it",
                                             "is not a whole number of 32 KiB blocks long"};
  EXPECT_EQ(HeaderQuestion("/some/where/noise.bin", Problems),
            "noise.bin has no Game Boy logo: the card scan and the boot menu will never see it.\r\n"
            "noise.bin is not a whole number of 32 KiB blocks long.\r\nQueue it anyway?");
  EXPECT_EQ(HeaderProblemsLine("noise.bin", Problems),
            "noise.bin has no Game Boy logo: the card scan and the boot menu will never see it; is not a whole "
            "number of 32 KiB blocks long.");
}

}  // namespace
