// SPDX-License-Identifier: GPL-3.0-or-later
// The header view, mended headers and DAT verdicts from the command line, on
// an emulated card, with a DAT file the test writes itself.
#include <sys/stat.h>

#include "core/dat/GameHashes.h"
#include "tests/cli/CliRig.h"

namespace {

class CliDat : public TCliRig {
public:
  // A DAT entry for these bytes under Name.
  static std::string Entry(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    const TGameHashes H = HashBytes(Bytes.data(), Bytes.size());
    return "  <game name=\"" + Name + "\">\n    <rom name=\"" + Name + ".gb\" size=\"" + std::to_string(H.Size) +
           "\" crc=\"" + Crc32Text(H.Crc32) + "\" sha1=\"" + Sha1Text(H.Sha1) + "\"/>\n  </game>\n";
  }
  std::string WriteDat(const std::string& Games) const {
    std::ofstream(Path("games.dat")) << "<?xml version=\"1.0\"?>\n<datafile>\n" << Games << "</datafile>\n";
    return Path("games.dat");
  }
  bool Has(const std::string& Text, const std::string& Part) const { return Text.find(Part) != std::string::npos; }
};

}  // namespace

TEST_F(CliDat, HeaderOfAFileAndOfACardGame) {
  const std::string Good = AddGame("good.gb", "HEADERGAME", 0x8000);
  std::vector<uint8_t> Bytes = ReadBytes(Good);
  Bytes[0x14D] ^= 0x01;
  WriteBytes(Path("bad.gb"), Bytes);

  TRun Run = this->Run({"header", Good});
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(Has(Run.Out, "Title: \"HEADERGAME\"")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "Header checksum: 0x")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "Header check: passed")) << Run.Out;

  Run = this->Run({"header", Path("bad.gb"), "--json"});
  EXPECT_EQ(Run.Status, 1) << "a bad header is no success";
  EXPECT_TRUE(Has(Run.Out, "\"problems\":[\"has a wrong header checksum: a console will not start it\"]")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "\"logo_valid\":true")) << Run.Out;

  Run = this->Run({"header", Path("none.gb")});
  EXPECT_EQ(Run.Status, 1);
  EXPECT_TRUE(Has(Run.Err, "none.gb: cannot be read")) << Run.Err;
  // A FIFO is refused, not waited on (the run would hang otherwise).
  ASSERT_EQ(::mkfifo(Path("fifo.gb").c_str(), 0600), 0);
  for (const std::vector<std::string>& Line : {std::vector<std::string>{"header", Path("fifo.gb")},
                                               std::vector<std::string>{"check", Path("fifo.gb")}}) {
    Run = this->Run(Line);
    EXPECT_EQ(Run.Status, 1) << Line[0];
    EXPECT_TRUE(Has(Run.Err + Run.Out, "fifo.gb: not a regular file")) << Line[0] << ": " << Run.Err << Run.Out;
  }

  ASSERT_EQ(this->Run(Cli({"--yes", "write", Good})).Status, 0);
  Run = this->Run(Cli({"header", "1"}));
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(Has(Run.Out, "Page NO. 1 (32M) game 1")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "Title: \"HEADERGAME\"")) << Run.Out;
  EXPECT_FALSE(Has(Run.Out, "not computed")) << "the whole game was read: " << Run.Out;
  Run = this->Run(Cli({"header", "2"}));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_TRUE(Has(Run.Err, "no game 2 on Page NO. 1 (32M)")) << Run.Err;
}

TEST_F(CliDat, FixHeaderLeavesTheFileAndMendsTheCard) {
  std::vector<uint8_t> Bytes = MakeGame("MENDME", 0x8000);
  Bytes[0x14D] ^= 0x5A;
  WriteBytes(Path("bad.gb"), Bytes);
  std::vector<uint8_t> NoLogo = MakeGame("NOLOGO", 0x8000);
  NoLogo[0x104] ^= 0x01;
  WriteBytes(Path("nologo.gb"), NoLogo);

  TRun Run = this->Run(Cli({"--yes", "write", Path("bad.gb")}));
  EXPECT_EQ(Run.Status, 1) << "refused without --fix-header";

  Run = this->Run(Cli({"--yes", "write", "--fix-header", Path("bad.gb")}));
  ASSERT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(Has(Run.Err, "the header checksums are mended in what is written; the file stays as it is")) << Run.Err;
  EXPECT_EQ(ReadBytes(Path("bad.gb")), Bytes) << "the file on disk is never changed";
  const std::vector<uint8_t> Flash = this->Flash();
  ASSERT_GE(Flash.size(), 0x8000u);
  uint8_t Sum = 0;
  for (size_t I = 0x134; I < 0x14D; ++I) Sum = static_cast<uint8_t>(Sum - Flash[I] - 1);
  EXPECT_EQ(Flash[0x14D], Sum) << "the card holds the mended header";
  uint16_t Global = 0;
  for (size_t I = 0; I < 0x8000; ++I)
    if (I != 0x14E && I != 0x14F) Global = static_cast<uint16_t>(Global + Flash[I]);
  EXPECT_EQ(Flash[0x14E] << 8 | Flash[0x14F], Global);
  std::vector<uint8_t> Rest(Flash.begin(), Flash.begin() + 0x8000);
  Rest[0x14D] = Bytes[0x14D], Rest[0x14E] = Bytes[0x14E], Rest[0x14F] = Bytes[0x14F];
  EXPECT_EQ(Rest, Bytes) << "nothing but the checksums differs";
  EXPECT_TRUE(fs::is_empty(Path("tmp"))) << "the mended copy is gone";

  // A wrong logo is never mended: refused unless forced, and said.
  Run = this->Run({"pack", "--fix-header", Path("nologo.gb"), Path("bad.gb"), "-o", Path("pack.gb")});
  EXPECT_EQ(Run.Status, 1);
  EXPECT_TRUE(Has(Run.Err, "nologo.gb has a wrong logo, which is never mended: a real console will not start it."))
      << Run.Err;
  Run = this->Run({"pack", "--fix-header", "--force", Path("nologo.gb"), Path("bad.gb"), "-o", Path("pack.gb")});
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(Has(Run.Out, Path("bad.gb"))) << "the user's file is named, not the copy: " << Run.Out;
  EXPECT_EQ(ReadBytes(Path("nologo.gb")), NoLogo);
}

TEST_F(CliDat, VerdictsForReadsChecksAndTheListing) {
  const std::vector<uint8_t> Alpha = MakeGame("ALPHA", 0x8000);
  const std::vector<uint8_t> Bravo = MakeGame("BRAVO", 0x10000);
  const std::vector<uint8_t> Charlie = MakeGame("CHARLIE", 0x8000);
  std::vector<uint8_t> GoodBravo = Bravo;
  GoodBravo[0x6000] ^= 0x01;   // the DAT's Bravo; the file is a bad dump of it
  WriteBytes(Path("alpha.gb"), Alpha);
  WriteBytes(Path("bravo.gb"), Bravo);
  WriteBytes(Path("charlie.gb"), Charlie);
  const std::string Dat = WriteDat(Entry("Alpha (World)", Alpha) + Entry("Bravo (Europe) (Rev 1)", GoodBravo));

  TRun Run = this->Run({"check", Path("alpha.gb"), Path("bravo.gb"), Path("charlie.gb"), "--dat", Dat});
  EXPECT_EQ(Run.Status, 1) << "not every dump is verified";
  EXPECT_EQ(Run.Out, Path("alpha.gb") + ": verified: Alpha (World)\n" + Path("bravo.gb") +
                         ": differs from Bravo (Europe) (Rev 1): bad dump?\n" + Path("charlie.gb") + ": not in the DAT\n");
  EXPECT_EQ(this->Run({"check", Path("alpha.gb"), "--dat", Dat}).Status, 0);

  // Queued by size, the later of two equal sizes first: CHARLIE, ALPHA, BRAVO.
  ASSERT_EQ(this->Run(Cli({"--yes", "write", Path("alpha.gb"), Path("bravo.gb"), Path("charlie.gb")})).Status, 0);
  Run = this->Run(Cli({"list", "--dat", Dat}));
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(Has(Run.Out, "verified: Alpha (World)")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "differs from Bravo (Europe) (Rev 1): bad dump?")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, "not in the DAT")) << Run.Out;
  Run = this->Run(Cli({"list", "--json", "--dat", Dat}));
  EXPECT_TRUE(Has(Run.Out, "\"title\":\"ALPHA\",\"offset\":65536,\"size\":32768,\"dat\":\"verified\",\"dat_name\":\"Alpha (World)\""))
      << Run.Out;
  Run = this->Run(Cli({"check", "--card", "--dat", Dat}));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_TRUE(Has(Run.Out, "game 2: verified: Alpha (World)\n")) << Run.Out;

  // Backups: a verified one takes its entry's name, the others keep theirs.
  Run = this->Run(Cli({"--yes", "read", "--all", "-o", Path("back") + "/", "--dat", Dat}));
  ASSERT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_EQ(ReadBytes(Path("back/Alpha (World).gb")), Alpha);
  EXPECT_FALSE(fs::exists(Path("back/ALPHA.GB")));
  EXPECT_EQ(ReadBytes(Path("back/BRAVO.GB")), Bravo);
  EXPECT_EQ(ReadBytes(Path("back/CHARLIE.GB")), Charlie);
  EXPECT_TRUE(Has(Run.Out, Path("back/Alpha (World).gb") + ": verified: Alpha (World)\n")) << Run.Out;
  EXPECT_TRUE(Has(Run.Out, Path("back/CHARLIE.GB") + ": not in the DAT\n")) << Run.Out;

  // Without a DAT every backup's hashes are printed; a name given stays.
  Run = this->Run(Cli({"--yes", "read", "2", "-o", Path("one.gb")}));
  ASSERT_EQ(Run.Status, 0) << Run.Err;
  const TGameHashes H = HashBytes(Alpha.data(), Alpha.size());
  EXPECT_EQ(Run.Out, Path("one.gb") + ": crc32 " + Crc32Text(H.Crc32) + "  sha1 " + Sha1Text(H.Sha1) + "\n");
}

TEST_F(CliDat, ABadDatStopsBeforeTheCard) {
  std::ofstream(Path("text.dat")) << "no xml at all";
  const struct {
    std::string Dat;
    std::string Says;
  } Cases[] = {
      {Path("missing.dat"), "missing.dat: no such file"},
      {Path("text.dat"), "text.dat: not a DAT file, its XML is broken"},
      {Path("."), "not a regular file"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Dat);
    for (const std::vector<std::string>& Line : {Cli({"list", "--dat", C.Dat}), Cli({"read", "--all", "--dat", C.Dat}),
                                                 std::vector<std::string>{"check", Path("x.gb"), "--dat", C.Dat}}) {
      const TRun Run = this->Run(Line);
      EXPECT_EQ(Run.Status, 1);
      EXPECT_TRUE(Has(Run.Err, C.Says)) << Run.Err;
      EXPECT_TRUE(TraceLines().empty()) << "the card was not touched";
    }
  }
}
