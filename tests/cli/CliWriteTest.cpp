// SPDX-License-Identifier: GPL-3.0-or-later
// Writes from the command line: the worked example of four games end to end,
// the image on the wire against the offline pack, refusals, questions and
// the check after a write.
#include <regex>

#include <nlohmann/json.hpp>

#include "tests/cli/CliRig.h"

namespace {

class CliWrite : public TCliRig {
protected:
  // The worked example: 32 KiB, 64 KiB and two games of 1 MiB.
  std::vector<std::string> FourGames() {
    return {AddGame("a.gb", "GAMEA", 0x8000), AddGame("b.gb", "GAMEB", 0x10000), AddGame("c.gb", "GAMEC", 0x100000),
            AddGame("d.gb", "GAMED", 0x100000)};
  }
};

TEST_F(CliWrite, FourGamesAreListedAtTheirPackOffsetsAndReadBackWhole) {
  std::vector<std::string> Args = {"write"};
  for (const std::string& Game : FourGames()) Args.push_back(Game);
  const TRun Write = Run(Cli(Args));
  ASSERT_EQ(Write.Status, 0) << Write.Err;
  EXPECT_NE(Write.Err.find("Write complete.  Time used: "), std::string::npos);
  // Standard error is no terminal here: no progress texts in the log.
  EXPECT_EQ(Write.Err.find("Estimate remain time"), std::string::npos) << Write.Err;

  const TRun List = Run(Cli({"list", "--json"}));
  ASSERT_EQ(List.Status, 0) << List.Err;
  // The equal sizes keep the later one first: D at 1 MiB, C at 2 MiB. The
  // listing's fields, among those every outcome object has.
  const nlohmann::json Listed = nlohmann::json::parse(List.Out);
  const nlohmann::json Expected = nlohmann::json::parse(
      "{\"page\":1,\"games\":["
      "{\"index\":1,\"title\":\"GAMEA\",\"offset\":32768,\"size\":32768},"
      "{\"index\":2,\"title\":\"GAMEB\",\"offset\":65536,\"size\":65536},"
      "{\"index\":3,\"title\":\"GAMED\",\"offset\":1048576,\"size\":1048576},"
      "{\"index\":4,\"title\":\"GAMEC\",\"offset\":2097152,\"size\":1048576}],"
      "\"count\":4,\"used\":2228224,\"free\":1966080}");
  for (const auto& [Key, Value] : Expected.items()) EXPECT_EQ(Listed.at(Key), Value) << Key;
  EXPECT_EQ(Listed.at("command"), "list");
  EXPECT_EQ(Listed.at("ok"), true);
  EXPECT_EQ(List.Out.back(), '\n');
  EXPECT_EQ(List.Out.find('\n'), List.Out.size() - 1) << "one object, one line";

  const TRun Table = Run(Cli({"list"}));
  EXPECT_NE(Table.Out.find("[4 Game(s) Total, Size: 17M, Free: 15M]"), std::string::npos) << Table.Out;

  const TRun Read = Run(Cli({"read", "--all", "-o", Path("back")}));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  for (const char* Name : {"a", "b", "c", "d"}) {
    const std::string Title = std::string("GAME") + static_cast<char>(std::toupper(Name[0]));
    EXPECT_EQ(ReadBytes(Path("back/" + Title + ".GB")), ReadBytes(Path(std::string(Name) + ".gb"))) << Title;
  }
}

// With one game on the page, -o names a folder when it ends in "/" or is
// one already; the game goes into it under its title.
TEST_F(CliWrite, ReadingOneGameIntoAFolder) {
  const std::string Game = AddGame("one.gb", "SOLO", 0x8000);
  ASSERT_EQ(Run(Cli({"write", Game})).Status, 0);
  fs::create_directories(Path("existing"));
  for (const std::string& Output : {Path("backup/"), Path("existing")}) {
    SCOPED_TRACE(Output);
    const TRun Read = Run(Cli({"read", "--all", "-o", Output}));
    ASSERT_EQ(Read.Status, 0) << Read.Err;
    EXPECT_EQ(ReadBytes((fs::path(Output) / "SOLO.gb").string()), ReadBytes(Game));
  }
}

TEST_F(CliWrite, OfflinePackIsTheImageTheWriteSends) {
  std::vector<std::string> Args = {"write"};
  for (const std::string& Game : FourGames()) Args.push_back(Game);
  ASSERT_EQ(Run(Cli(Args)).Status, 0);

  std::vector<std::string> PackArgs = {"pack"};
  PackArgs.insert(PackArgs.end(), Args.begin() + 1, Args.end());
  PackArgs.insert(PackArgs.end(), {"-o", Path("image.gb")});
  const TRun Pack = Run(PackArgs);   // no cable option: none is needed
  ASSERT_EQ(Pack.Status, 0) << Pack.Err;

  std::vector<uint8_t> Sent;
  for (const TTracedWrite& Write : ImageWrites()) {
    ASSERT_EQ(Write.Code, 'W');
    ASSERT_EQ(Write.Address, Sent.size()) << "the image goes out in order, from the page's start";
    Sent.insert(Sent.end(), Write.Data.begin(), Write.Data.end());
  }
  const std::vector<uint8_t> Image = ReadBytes(Path("image.gb"));
  EXPECT_EQ(Image.size(), 3u * 1024 * 1024);
  EXPECT_TRUE(Image == Sent) << "pack differs from the written image";
}

TEST_F(CliWrite, RefusedFilesWriteNothing) {
  struct TCase {
    const char* Name;
    std::function<std::vector<std::string>(CliWrite&)> Files;
    const char* Text;
  };
  const TCase Cases[] = {
      {"page overflow",
       [](CliWrite& T) { return std::vector<std::string>{T.AddGame("big.gb", "BIG", 0x400000), T.AddGame("a.gb", "A", 0x8000)}; },
       "ROM space not enough!"},
      {"no game",
       [](CliWrite& T) {
         WriteBytes(T.Path("short.gb"), std::vector<uint8_t>(0x100, 1));
         return std::vector<std::string>{T.Path("short.gb")};
       },
       "Not a Game Boy game file!"},
      {"missing file", [](CliWrite& T) { return std::vector<std::string>{T.Path("none.gb")}; }, "File open error!"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<std::string> Args = {"write"};
    for (const std::string& File : Case.Files(*this)) Args.push_back(File);
    const TRun Write = Run(Cli(Args));
    EXPECT_EQ(Write.Status, 1);
    EXPECT_NE(Write.Err.find(Case.Text), std::string::npos) << Write.Err;
    EXPECT_TRUE(TracedWrites().empty()) << "a refused queue must not touch the card";
  }
}

TEST_F(CliWrite, QuestionsWithoutATerminalAreRefusedUnlessYesIsGiven) {
  ASSERT_EQ(Run(Cli({"write", AddGame("a.gb", "OLDGAME", 0x8000)})).Status, 0);
  const std::vector<uint8_t> Before = Flash();
  struct TCase {
    std::vector<std::string> Args;
    const char* Question;
  };
  const TCase Cases[] = {
      {{"write", AddGame("b.gb", "NEWGAME", 0x8000)}, "Are you sure to overwrite old games in \"Page NO. 1 (32M)\"?"},
      {{"format"}, "Are you sure to format \"Page NO. 1 (32M)\""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Args.front());
    const TRun Refused = Run(Cli(Case.Args));
    EXPECT_EQ(Refused.Status, 1);
    EXPECT_NE(Refused.Err.find(Case.Question), std::string::npos) << Refused.Err;
    EXPECT_NE(Refused.Err.find("--yes"), std::string::npos);
    EXPECT_TRUE(Flash() == Before) << "a refused question must leave the card as it was";
  }
  std::vector<std::string> Confirmed = Cli({"--yes", "format"});
  const TRun Format = Run(Confirmed);
  EXPECT_EQ(Format.Status, 0) << Format.Err;
  EXPECT_NE(Format.Err.find("[0 Game(s) Total, Size: 0K, Free: 32M]"), std::string::npos) << Format.Err;
}

TEST_F(CliWrite, VerifyNamesTheFirstDifferingCardAddress) {
  WriteBytes(Path("save.sav"), std::vector<uint8_t>(0x2000, 0x5A));
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x8000);
  struct TCase {
    const char* Name;
    std::vector<std::string> Args;
    const char* Address;
  };
  // Byte 100 of the first read-back reply comes back with one bit flipped.
  const TCase Cases[] = {
      {"pack on page 1", {"-y", "write", A, B, "--verify"}, "0x000064"},
      {"pack on page 2", {"-y", "--page=2", "write", A, B, "--verify"}, "0x400064"},
      {"save RAM on page 2, bare offsets", {"-y", "--page=2", "write-sram", Path("save.sav"), "--verify"}, "0x000064"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const TRun Clean = Run(Cli(Case.Args));
    EXPECT_EQ(Clean.Status, 0) << Clean.Err;
    EXPECT_NE(Clean.Err.find("Verify complete"), std::string::npos) << Clean.Err;

    std::vector<std::string> Flipped = Case.Args;
    Flipped.insert(Flipped.begin(), "--emulate-flip=100:0x10");
    const TRun Bad = Run(Cli(Flipped));
    EXPECT_EQ(Bad.Status, 1);
    EXPECT_NE(Bad.Err.find(std::string("Verify failed: the card differs from what was written at card address ") +
                           Case.Address),
              std::string::npos)
        << Bad.Err;
  }
}

}  // namespace
