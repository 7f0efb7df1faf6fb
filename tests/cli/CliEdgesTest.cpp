// SPDX-License-Identifier: GPL-3.0-or-later
// Where the command line meets the file system and other programs: files
// replaced only when complete, refusals before anything is touched, one
// program per card.
#include <sys/inotify.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <regex>

#include "tests/cli/CliRig.h"

namespace {

class CliEdges : public TCliRig {
protected:
  // Every name in Folder, hidden ones too.
  std::vector<std::string> Names(const std::string& Folder) const {
    std::vector<std::string> Found;
    for (const auto& Entry : fs::directory_iterator(Folder)) Found.push_back(Entry.path().filename().string());
    std::sort(Found.begin(), Found.end());
    return Found;
  }
  // The number of transfers of a whole run of Args (traced).
  long Transfers(const std::vector<std::string>& Args) {
    const TRun Whole = Run(Cli(Args));
    EXPECT_EQ(Whole.Status, 0) << Whole.Err;
    return static_cast<long>(TraceLines().size());
  }
};

// A read cut short by a pulled cable leaves the file it was to replace as it
// was, and no temporary beside it.
TEST_F(CliEdges, AReadCutShortLeavesTheOldFileAsItWas) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x10000), B = AddGame("b.gb", "GAMEB", 0x8000);
  ASSERT_EQ(Run(Cli({"-y", "write", A, B})).Status, 0);
  fs::create_directories(Path("out"));
  const struct {
    const char* What;
    std::vector<std::string> Args;
    std::string Target;
  } Cases[] = {
      {"read of one game", {"-y", "read", "2", "-o", Path("out/mine.gb")}, Path("out/mine.gb")},
      {"read --all", {"-y", "read", "--all", "-o", Path("out")}, Path("out/GAMEA.GB")},
      {"read-sram", {"-y", "read-sram", Path("out/s.sav")}, Path("out/s.sav")},
      {"read-raw", {"-y", "read-raw", "64K", Path("out/raw.bin")}, Path("out/raw.bin")},
  };
  const std::vector<uint8_t> Old(0x10000, 0x5A);
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    fs::remove_all(Path("out"));
    fs::create_directories(Path("out"));
    WriteBytes(C.Target, Old);
    ::chmod(C.Target.c_str(), 0640);
    const long Whole = Transfers(C.Args);
    ASSERT_NE(ReadBytes(C.Target), Old) << "the whole run did not replace the file";
    // Past the listing, before the closing identification: inside the read.
    for (const long After : {Whole - 12, Whole - 6}) {
      WriteBytes(C.Target, Old);
      std::vector<std::string> Args = C.Args;
      Args.insert(Args.begin(), "--emulate-unplug-after=" + std::to_string(After));
      const TRun Cut = Run(Cli(Args, false));
      EXPECT_EQ(Cut.Status, 1) << Cut.Err;
      EXPECT_NE(Cut.Err.find("Now reading..."), std::string::npos) << Cut.Err;
      EXPECT_EQ(ReadBytes(C.Target), Old) << Cut.Err;
      EXPECT_NE(Cut.Err.find("the file is as it was before"), std::string::npos) << Cut.Err;
      for (const std::string& Name : Names(Path("out"))) EXPECT_EQ(Name.find('.'), Name.rfind('.')) << Name;
    }
    // A whole read keeps the permissions of the file it replaced.
    WriteBytes(C.Target, Old);
    ::chmod(C.Target.c_str(), 0640);
    ASSERT_EQ(Run(Cli(C.Args, false)).Status, 0);
    struct stat Info {};
    ASSERT_EQ(::stat(C.Target.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0640u);
  }
}

// A symbolic link as the target is kept; the file it points to is replaced.
TEST_F(CliEdges, AReadThroughALinkReplacesTheFileItPointsTo) {
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000)})).Status, 0);
  fs::create_directories(Path("real"));
  WriteBytes(Path("real/game.gb"), {1, 2, 3});
  fs::create_symlink(Path("real/game.gb"), Path("link.gb"));
  const TRun Read = Run(Cli({"-y", "read", "1", "-o", Path("link.gb")}, false));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  EXPECT_TRUE(fs::is_symlink(Path("link.gb")));
  EXPECT_EQ(ReadBytes(Path("real/game.gb")), ReadBytes(Path("a.gb")));
  EXPECT_EQ(Names(Path("real")), std::vector<std::string>{"game.gb"});
}

// Two games of one title each get a file of their own.
TEST_F(CliEdges, GamesOfOneTitleGetNamesOfTheirOwn) {
  const std::string A = AddGame("a.gb", "SAME", 0x8000);
  std::vector<uint8_t> Other = MakeGame("SAME", 0x8000);
  Other[0x2000] ^= 0xFF;
  WriteBytes(Path("b.gb"), Other);
  ASSERT_EQ(Run(Cli({"-y", "write", A, Path("b.gb"), AddGame("c.gb", "OTHER", 0x8000)})).Status, 0);
  fs::create_directories(Path("out"));
  const TRun Read = Run(Cli({"-y", "read", "--all", "-o", Path("out")}, false));
  ASSERT_EQ(Read.Status, 0) << Read.Err;
  EXPECT_EQ(Names(Path("out")), (std::vector<std::string>{"OTHER.GB", "SAME (2).GB", "SAME.GB"}));
  const std::vector<uint8_t> First = ReadBytes(Path("out/SAME.GB")), Second = ReadBytes(Path("out/SAME (2).GB"));
  EXPECT_NE(First, Second);
  EXPECT_TRUE(First == ReadBytes(A) || First == Other);
  EXPECT_TRUE(Second == ReadBytes(A) || Second == Other);
}

// Sizes that do nothing or run past the card are refused before the cable
// is used, and leave no file.
TEST_F(CliEdges, ReadAndWriteSizesThatCannotBeDoneAreRefused) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000);
  // Without a backup, so that any backup below is one a refusal made.
  ASSERT_EQ(Run(Cli({"-y", "write", A, "--no-backup"})).Status, 0);
  WriteBytes(Path("empty.sav"), {});
  WriteBytes(Path("short.gb"), std::vector<uint8_t>(31, 0x11));
  WriteBytes(Path("huge.sav"), std::vector<uint8_t>(0x20001, 0x11));
  ASSERT_EQ(::mkfifo(Path("pipe.gb").c_str(), 0600), 0);
  const struct {
    const char* What;
    std::vector<std::string> Args;
    const char* Says;
  } Cases[] = {
      {"test-rom of an empty file", {"-y", "test-rom", Path("empty.sav")}, "at least 32 bytes"},
      {"test-rom of 31 bytes", {"-y", "test-rom", Path("short.gb")}, "at least 32 bytes"},
      {"test-sram of an empty file", {"-y", "test-sram", Path("empty.sav")}, "at least 32 bytes"},
      {"a save too large", {"-y", "write-sram", Path("huge.sav")}, "Save file too large!"},
      {"write of a pipe", {"-y", "write", A, Path("pipe.gb")}, "Not a regular file!"},
      {"pack of a pipe", {"-y", "pack", A, Path("pipe.gb"), "-o", Path("x.bin")}, "Not a regular file!"},
      {"write-raw of a pipe", {"-y", "write-raw", Path("pipe.gb")}, "not a regular file"},
      {"write-sram of a pipe", {"-y", "write-sram", Path("pipe.gb")}, "not a regular file"},
      {"test-rom of a pipe", {"-y", "test-rom", Path("pipe.gb")}, "not a regular file"},
      {"8M from page 2", {"-y", "--page=2", "read-raw", "8M", Path("x.bin")}, "runs past the end of the card"},
      {"4M+1 from page 2", {"-y", "--page=2", "read-raw", "4194305", Path("x.bin")}, "runs past the end of the card"},
      {"nothing", {"-y", "read-raw", "0", Path("x.bin")}, "the size is 0 bytes"},
      {"an empty save", {"-y", "write-sram", Path("empty.sav")}, "empty"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    fs::remove(TracePath());
    const std::vector<uint8_t> Card = Flash(), Save = ReadBytes(CardDir() + "/sram.bin");
    const TRun Refused = Run(Cli(C.Args));
    EXPECT_NE(Refused.Status, 0) << Refused.Err;
    EXPECT_NE(Refused.Err.find(C.Says), std::string::npos) << Refused.Err;
    EXPECT_FALSE(fs::exists(Path("x.bin")));
    EXPECT_TRUE(TracedWrites().empty());
    EXPECT_TRUE(Flash() == Card);
    EXPECT_TRUE(ReadBytes(CardDir() + "/sram.bin") == Save);
    EXPECT_FALSE(fs::exists(Path("data/flashquill/backups"))) << "a backup was made for a write refused";
  }
  // The whole of page 2 still reads.
  EXPECT_EQ(Run(Cli({"-y", "--page=2", "read-raw", "4M", Path("x.bin")}, false)).Status, 0);
  EXPECT_EQ(fs::file_size(Path("x.bin")), 0x400000u);
}

// Two programs on one card: the second is refused before it touches
// anything, and the first finishes and verifies as if alone.
TEST_F(CliEdges, ASecondProgramOnTheCardIsRefused) {
  const std::vector<std::string> Args =
      Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000), AddGame("c.gb", "GAMEC", 0x100000),
           AddGame("d.gb", "GAMED", 0x100000)});
  const std::string B = AddGame("b.gb", "GAMEB", 0x8000);
  std::vector<TRun> Others;
  const TRun First = Run(Args, [&](pid_t Child, const std::string& SoFar) {
    if (!Others.empty() || SoFar.find("Estimate remain time") == std::string::npos) return;
    // Held in the middle of its write while the others try.
    ::kill(Child, SIGSTOP);
    Others.push_back(Run(Cli({"-y", "format"}, false)));
    Others.push_back(Run(Cli({"-y", "write", B}, false)));
    Others.push_back(Run(Cli({"list"}, false)));
    ::kill(Child, SIGCONT);
  });
  ASSERT_EQ(Others.size(), 3u) << First.Err;
  for (const TRun& Other : Others) {
    EXPECT_EQ(Other.Status, 1) << Other.Err;
    EXPECT_NE(Other.Err.find("is in use by another program"), std::string::npos) << Other.Err;
    EXPECT_EQ(Other.Err.find("Format complete"), std::string::npos) << Other.Err;
  }
  EXPECT_EQ(First.Status, 0) << First.Err;
  EXPECT_NE(First.Err.find("Verify complete"), std::string::npos) << First.Err;
  // Free again once the first has ended.
  EXPECT_EQ(Run(Cli({"list"}, false)).Status, 0);
}

// A file replaced while it is written: the verify (and the factory test's
// comparison) judge the card by the bytes that went out, which it holds.
TEST_F(CliEdges, TheVerifyComparesWithTheBytesSent) {
  const struct {
    const char* What;
    const char* Command;
    const char* Says;   // on standard error
    const char* Out;    // on standard output
  } Cases[] = {
      {"write-raw", "write-raw", "Verify complete", ""},
      {"test-rom", "test-rom", "Checking...", "OK\n"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const std::string Image = AddGame("image.gb", "IMAGE", 0x100000);
    WriteBytes(Path("other.gb"), std::vector<uint8_t>(0x100000, 0x42));
    bool Replaced = false;
    const TRun Write = Run(Cli({"-y", C.Command, Image}, false), [&](pid_t, const std::string& SoFar) {
      if (Replaced || SoFar.find("Now writting...  Estimate") == std::string::npos) return;
      fs::rename(Path("other.gb"), Image);
      Replaced = true;
    });
    ASSERT_TRUE(Replaced) << Write.Err;
    EXPECT_EQ(Write.Status, 0) << Write.Err;
    EXPECT_NE(Write.Err.find(C.Says), std::string::npos) << Write.Err;
    EXPECT_EQ(Write.Out, C.Out);
    EXPECT_EQ(Write.Err.find("cannot hold that byte"), std::string::npos) << Write.Err;
  }
}

// The boot menu lists 99 games: a 100th is refused, or with --force queued
// with a warning.
TEST_F(CliEdges, MoreGamesThanTheMenuListsAreRefused) {
  std::vector<std::string> Games;
  for (int I = 0; I < 100; ++I) Games.push_back(AddGame("g" + std::to_string(I) + ".gb", "G" + std::to_string(I), 0x8000));
  std::vector<std::string> Pack = {"pack"};
  Pack.insert(Pack.end(), Games.begin(), Games.end());
  Pack.insert(Pack.end(), {"-o", Path("pack.gb")});
  const TRun Refused = Run(Cli(Pack, false));
  EXPECT_EQ(Refused.Status, 1);
  EXPECT_NE(Refused.Err.find("The boot menu lists at most 99 games!"), std::string::npos) << Refused.Err;
  EXPECT_FALSE(fs::exists(Path("pack.gb")));
  std::vector<std::string> Write = {"-y", "write"};
  Write.insert(Write.end(), Games.begin(), Games.end());
  const TRun NotWritten = Run(Cli(Write));
  EXPECT_EQ(NotWritten.Status, 1);
  EXPECT_NE(NotWritten.Err.find("at most 99 games"), std::string::npos) << NotWritten.Err;
  EXPECT_TRUE(TracedWrites().empty());

  Pack.push_back("--force");
  const TRun Forced = Run(Cli(Pack, false));
  EXPECT_EQ(Forced.Status, 0) << Forced.Err;
  EXPECT_NE(Forced.Err.find("games 100 to 100 can never be started"), std::string::npos) << Forced.Err;
  EXPECT_EQ(fs::file_size(Path("pack.gb")), 0x8000u * 101);
}

// The card folder, the trace and the files the program cannot make are said
// with their names and the system's reasons.
TEST_F(CliEdges, MessagesNameTheFileAndTheReason) {
  const TRun Deep = Run({"--emulate=" + Path("no/such/deep/card"), "list"});
  EXPECT_EQ(Deep.Status, 1);
  EXPECT_NE(Deep.Err.find("does not exist"), std::string::npos) << Deep.Err;
  EXPECT_FALSE(fs::exists(Path("no")));

  const TRun Fresh = Run({"--emulate=" + Path("newcard"), "list"});
  EXPECT_EQ(Fresh.Status, 0) << Fresh.Err;
  EXPECT_NE(Fresh.Err.find("A new card was made in " + Path("newcard")), std::string::npos) << Fresh.Err;
  const TRun Again = Run({"--emulate=" + Path("newcard"), "list"});
  EXPECT_EQ(Again.Err.find("A new card was made"), std::string::npos) << Again.Err;

  const TRun Full = Run({"--emulate=" + CardDir(), "--trace=/dev/full", "list"});
  EXPECT_EQ(Full.Status, 1);
  EXPECT_NE(Full.Err.find("The trace file /dev/full could not be written"), std::string::npos) << Full.Err;

  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000), AddGame("b.gb", "GAMEB", 0x8000)})).Status, 0);
  const std::string Long = Path(std::string(300, 'n') + ".sav");
  const struct {
    const char* What;
    std::vector<std::string> Args;
    std::string Says;
  } Cases[] = {
      {"missing folder", {"-y", "read-sram", Path("gone/s.sav")}, Path("gone/s.sav") + ": No such file or directory"},
      {"name too long", {"-y", "read-sram", Long}, ": File name too long"},
      {"folder as the file", {"-y", "read-raw", "32K", Path("data")}, Path("data") + ": Is a directory"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const TRun Failed = Run(Cli(C.Args, false));
    EXPECT_EQ(Failed.Status, 1);
    EXPECT_NE(Failed.Err.find("File create error!"), std::string::npos) << Failed.Err;
    EXPECT_NE(Failed.Err.find(C.Says), std::string::npos) << Failed.Err;
  }

  // The games a failed exchange leaves unread are named.
  fs::create_directories(Path("out"));
  const long Whole = Transfers({"-y", "read", "--all", "-o", Path("out")});
  fs::remove_all(Path("out"));
  const TRun Cut = Run(Cli({"--emulate-unplug-after=" + std::to_string(Whole - 12), "-y", "read", "--all", "-o",
                            Path("out")},
                           false));
  EXPECT_EQ(Cut.Status, 1);
  EXPECT_NE(Cut.Err.find("Not read: game 2 \"GAMEA\"."), std::string::npos) << Cut.Err;
}

// A format cannot be stopped and is said complete when it is.
TEST_F(CliEdges, AFormatRunsToItsEndAndSaysSo) {
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("a.gb", "GAMEA", 0x8000)})).Status, 0);
  // Held at once when it starts to format, and given its Ctrl-C there.
  bool Sent = false;
  const TRun Format = Run(Cli({"-y", "format"}, false), [&](pid_t Child, const std::string& SoFar) {
    if (!Sent && SoFar.find("Now formatting...") != std::string::npos) {
      Sent = true;
      ::kill(Child, SIGSTOP);
      ::kill(Child, SIGINT);
      ::kill(Child, SIGCONT);
    }
  });
  ASSERT_TRUE(Sent) << Format.Err;
  EXPECT_EQ(Format.Status, 0) << Format.Err;
  EXPECT_EQ(Format.Err.find("Stopped by Ctrl-C"), std::string::npos) << Format.Err;
  EXPECT_NE(Format.Err.find("Format complete"), std::string::npos) << Format.Err;

  // The cable pulled right after the last block: the format is whole.
  ASSERT_EQ(Transfers({"-y", "format"}), Transfers({"-y", "format"}));
  size_t LastClear = 0;
  const std::vector<std::string> Lines = TraceLines();
  for (size_t I = 0; I < Lines.size(); ++I)
    if (Lines[I].rfind("OUT 41 57", 0) == 0) LastClear = I + 1;
  const TRun Lost = Run(Cli({"--emulate-unplug-after=" + std::to_string(LastClear), "-y", "format"}, false));
  EXPECT_NE(Lost.Err.find("Format complete: all 128 blocks of Page NO. 1 (32M) were cleared"), std::string::npos)
      << Lost.Err;
  EXPECT_EQ(Lost.Status, 0) << Lost.Err;

  // A write whose format step is cut short says the old games may still be
  // listed, not that they are gone.
  ASSERT_EQ(Run(Cli({"-y", "write", AddGame("b.gb", "GAMEB", 0x8000), AddGame("c.gb", "GAMEC", 0x8000)})).Status, 0);
  Transfers({"-y", "write", Path("b.gb"), Path("c.gb")});
  size_t FirstClear = 0;
  const std::vector<std::string> Write = TraceLines();
  while (FirstClear < Write.size() && Write[FirstClear].rfind("OUT 41 57", 0) != 0) ++FirstClear;
  const TRun Cut = Run(Cli({"--emulate-unplug-after=" + std::to_string(FirstClear + 40), "-y", "write", Path("b.gb"),
                            Path("c.gb")},
                           false));
  EXPECT_EQ(Cut.Status, 1);
  EXPECT_NE(Cut.Err.find("may still be listed"), std::string::npos) << Cut.Err;
  EXPECT_EQ(Cut.Err.find("old games are gone"), std::string::npos) << Cut.Err;
}

// The pack image is private: a link planted in the temporary folder under
// the name the image goes by is never followed, and a program killed while
// it writes leaves no image behind.
TEST_F(CliEdges, ThePackImageIsPrivateAndLeavesNothingBehind) {
  const std::string A = AddGame("a.gb", "GAMEA", 0x8000), B = AddGame("b.gb", "GAMEB", 0x100000);
  WriteBytes(Path("victim"), {'m', 'i', 'n', 'e'});
  const int Watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ASSERT_GE(Watch, 0);
  ASSERT_GE(::inotify_add_watch(Watch, Path("tmp").c_str(), IN_CREATE | IN_DELETE), 0);
  std::atomic<bool> Done{false};
  std::atomic<int> Planted{0};
  // Whatever name appears in the temporary folder and goes again, a link to
  // the victim takes its place at once.
  std::thread Planter([&] {
    alignas(inotify_event) char Events[4096];
    while (!Done) {
      const ssize_t Got = ::read(Watch, Events, sizeof Events);
      if (Got <= 0) {
        std::this_thread::yield();
        continue;
      }
      for (char* At = Events; At < Events + Got;) {
        auto* Event = reinterpret_cast<inotify_event*>(At);
        if (Event->len && (Event->mask & IN_DELETE) &&
            ::symlink(Path("victim").c_str(), (Path("tmp") + "/" + Event->name).c_str()) == 0)
          ++Planted;
        At += sizeof(inotify_event) + Event->len;
      }
    }
  });
  const TRun Pack = Run(Cli({"pack", A, B, "-o", Path("pack.gb")}, false));
  const TRun Write = Run(Cli({"-y", "write", A, B}, false));
  Done = true;
  Planter.join();
  ::close(Watch);
  EXPECT_EQ(Pack.Status, 0) << Pack.Err;
  EXPECT_EQ(Write.Status, 0) << Write.Err;
  EXPECT_EQ(ReadBytes(Path("victim")), (std::vector<uint8_t>{'m', 'i', 'n', 'e'})) << Planted << " links planted";
  for (const auto& Entry : fs::directory_iterator(Path("tmp"))) fs::remove(Entry.path());

  bool Killed = false;
  const TRun Cut = Run(Cli({"-y", "write", A, B}, false), [&](pid_t Child, const std::string& SoFar) {
    if (!Killed && SoFar.find("Now writting...  Estimate") != std::string::npos) {
      Killed = true;
      ::kill(Child, SIGKILL);
    }
  });
  ASSERT_TRUE(Killed) << Cut.Err;
  EXPECT_TRUE(Names(Path("tmp")).empty()) << Names(Path("tmp")).front();
}

}  // namespace
