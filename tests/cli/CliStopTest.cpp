// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl-C during a write: it stops between two packets, as the window's Stop
// does, and the card files hold every packet that went out.
#include <regex>

#include "tests/cli/CliRig.h"

namespace {

class CliStop : public TCliRig {};

TEST_F(CliStop, InterruptDuringAWriteStopsAtAPacketBoundary) {
  const std::vector<std::string> Args =
      Cli({"write", AddGame("a.gb", "GAMEA", 0x8000), AddGame("c.gb", "GAMEC", 0x100000),
           AddGame("d.gb", "GAMED", 0x100000), AddGame("e.gb", "GAMEE", 0x100000)});
  bool Sent = false;
  const TRun Write = Run(Args, [&Sent](pid_t Child, const std::string& SoFar) {
    // The bar on the terminal: the first estimate means packets flow.
    if (!Sent && SoFar.find("Estimate remain time") != std::string::npos) {
      Sent = true;
      ::kill(Child, SIGINT);
    }
  });
  ASSERT_TRUE(Sent) << Write.Err;
  EXPECT_EQ(Write.Status, 130) << Write.Err;
  EXPECT_NE(Write.Err.find("Stopped by Ctrl-C between two packets."), std::string::npos) << Write.Err;
  EXPECT_NE(Write.Err.find("holds only part of the image"), std::string::npos) << Write.Err;
  EXPECT_TRUE(std::regex_search(Write.Err, std::regex(R"(\[#*-*\] +[0-9]+%  Now writting\.\.\.)"))) << Write.Err;

  // Whole packets only, and fewer than the image holds.
  for (const std::string& Line : TraceLines())
    if (Line.rfind("OUT ", 0) == 0 && Line.rfind("OUT -1", 0) != 0) {
      const size_t Length = std::stoul(Line.substr(4));
      EXPECT_TRUE(Length == 9 || Length == 41) << Line;
    }
  const std::vector<TTracedWrite> Image = ImageWrites();
  ASSERT_FALSE(Image.empty());
  EXPECT_LT(Image.size(), (0x300000u + 0x100000u) / 32) << "the write ran to its end before the stop";

  EXPECT_EQ(fs::file_size(CardDir() + "/flash.bin"), 0x800000u);
  EXPECT_EQ(fs::file_size(CardDir() + "/sram.bin"), 0x20000u);
  const std::vector<uint8_t> Card = Flash();
  for (const TTracedWrite& Write : Image) {
    ASSERT_TRUE(std::equal(Write.Data.begin(), Write.Data.end(), Card.begin() + Write.Address))
        << "packet at " << Write.Address << " is not on the card";
  }
}

}  // namespace
