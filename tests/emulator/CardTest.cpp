// SPDX-License-Identifier: GPL-3.0-or-later
// The card model: NOR flash rules, the unconnected address lines, and the
// card files that keep an emulated card across runs and kills.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "emulator/CableEmulator.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(CardTest, FreshCardIsErasedFlashAndZeroedSaveRam) {
  TTempFolder Dir{"fq-emu"};
  TCard InMemory;
  TCard InFiles(Dir.Text());
  for (TCard* Card : {&InMemory, &InFiles}) {
    EXPECT_TRUE(std::all_of(Card->Flash(), Card->Flash() + TCard::FlashSize, [](uint8_t B) { return B == 0xFF; }));
    EXPECT_TRUE(std::all_of(Card->Sram(), Card->Sram() + TCard::SramSize, [](uint8_t B) { return B == 0x00; }));
    EXPECT_EQ(Card->ChipId(), 0x8917);
    EXPECT_EQ(Card->ConsolePageBase(), 0u);
  }
  EXPECT_EQ(std::filesystem::file_size(Dir / "flash.bin"), 8388608u);
  EXPECT_EQ(std::filesystem::file_size(Dir / "sram.bin"), 131072u);
  // Only the two card files are left; the temporary names are gone.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Text()), std::filesystem::directory_iterator()), 2);
}

TEST(CardTest, ProgrammingOnlyClearsBitsAndEraseRestoresOneBlock) {
  TCard Card;
  Card.ProgramFlash(0x21000, 0xF0);
  Card.ProgramFlash(0x21000, 0x3C);
  EXPECT_EQ(Card.ReadFlash(0x21000), 0x30);   // 0xF0 AND 0x3C: no bit comes back without an erase
  Card.ProgramFlash(0x1FFFF, 0x00);
  Card.ProgramFlash(0x40000, 0x00);

  Card.EraseBlock(0x3FFFF);                   // any address inside block 1 (0x20000..0x3FFFF)
  EXPECT_EQ(Card.ReadFlash(0x21000), 0xFF);
  EXPECT_EQ(Card.ReadFlash(0x1FFFF), 0x00) << "the block before was erased too";
  EXPECT_EQ(Card.ReadFlash(0x40000), 0x00) << "the block after was erased too";
}

TEST(CardTest, AddressesWrapAtTheChipSizes) {
  struct TCase {
    uint32_t Address, Expected;
  };
  TCard Card;
  for (TCase Case : {TCase{0x800000, 0x0}, {0xC00123, 0x400123}, {0xFFFFFFFF, 0x7FFFFF}}) {
    Card.Flash()[Case.Expected] = 0xFF;
    Card.ProgramFlash(Case.Address, 0x12);
    EXPECT_EQ(Card.Flash()[Case.Expected], 0x12) << std::hex << Case.Address;
    EXPECT_EQ(Card.ReadFlash(Case.Address), 0x12) << std::hex << Case.Address;
  }
  Card.Flash()[0x400000] = 0x00;
  Card.EraseBlock(0xC00000);
  EXPECT_EQ(Card.Flash()[0x400000], 0xFF);

  for (TCase Case : {TCase{0x20000, 0x0}, {0x400010, 0x10}, {0xFFFFFFFF, 0x1FFFF}}) {
    Card.WriteSram(Case.Address, 0xA5);
    EXPECT_EQ(Card.Sram()[Case.Expected], 0xA5) << std::hex << Case.Address;
    EXPECT_EQ(Card.ReadSram(Case.Address), 0xA5) << std::hex << Case.Address;
  }
}

TEST(CardTest, ConsolePageBaseIsAPageOfTheChip) {
  struct TCase {
    uint32_t Sent, Seen;
  };
  TCard Card;
  for (TCase Case : {TCase{0x400000, 0x400000}, {0, 0}, {0xC00000, 0x400000}, {0x800000, 0}, {0x4FFFFF, 0x400000}}) {
    Card.SetConsolePageBase(Case.Sent);
    EXPECT_EQ(Card.ConsolePageBase(), Case.Seen) << std::hex << Case.Sent;
  }
}

TEST(CardTest, CardFilesKeepTheCardAcrossARestart) {
  TTempFolder Dir{"fq-emu"};
  const auto Game = Pattern(1000, 1);
  {
    TCard Card(Dir.Text());
    for (size_t I = 0; I < Game.size(); ++I) Card.ProgramFlash(0x400000 + uint32_t(I), Game[I]);
    Card.WriteSram(0x1FFFF, 0x77);
  }
  TCard Again(Dir.Text());
  EXPECT_TRUE(std::equal(Game.begin(), Game.end(), Again.Flash() + 0x400000));
  EXPECT_EQ(Again.ReadFlash(0x400000 + 1000), 0xFF);
  EXPECT_EQ(Again.ReadSram(0x1FFFF), 0x77);
  Again.Sync();
  auto OnDisk = ReadBytes(Dir / "flash.bin");
  ASSERT_EQ(OnDisk.size(), TCard::FlashSize);
  EXPECT_TRUE(std::equal(Game.begin(), Game.end(), OnDisk.begin() + 0x400000));
}

TEST(CardTest, CardFilesOfTheWrongSizeAreRefusedAndLeftAlone) {
  struct TCase {
    const char* Name;
    size_t Size;
  };
  for (TCase Case : {TCase{"flash.bin", 100}, {"flash.bin", TCard::FlashSize + 1}, {"sram.bin", 0},
                     {"sram.bin", TCard::SramSize * 2}}) {
    TTempFolder Dir{"fq-emu"};
    const auto Bytes = Pattern(Case.Size, 3);
    WriteBytes(Dir / Case.Name, Bytes);
    try {
      TCard Card(Dir.Text());
      ADD_FAILURE() << Case.Name << " of " << Case.Size << " bytes was accepted";
    } catch (const std::runtime_error& Error) {
      const std::string Text = Error.what();
      EXPECT_NE(Text.find(Dir / Case.Name), std::string::npos) << Text;
      EXPECT_NE(Text.find(std::to_string(Case.Size) + " bytes"), std::string::npos) << Text;
    }
    EXPECT_EQ(ReadBytes(Dir / Case.Name), Bytes) << Case.Name << " was changed";
  }
}

TEST(CardTest, AFolderThatCannotHoldTheCardIsAClearError) {
  TTempFolder Dir{"fq-emu"};
  WriteBytes(Dir / "plain-file", {1, 2, 3});
  std::filesystem::create_directory(Dir / "flash.bin");   // a folder where a card file should be
  for (const std::string& Path : {Dir / "plain-file", Dir.Text(), std::string()}) {
    EXPECT_THROW(TCard Card(Path), std::runtime_error) << Path;
  }
}

TEST(CardTest, AMissingCardFolderIsCreated) {
  TTempFolder Dir{"fq-emu"};
  TCard Card(Dir / "a/b/card");
  EXPECT_EQ(std::filesystem::file_size(Dir / "a/b/card/flash.bin"), TCard::FlashSize);
  EXPECT_EQ(Card.Dir(), Dir / "a/b/card");
}

// A program killed between two packets loses nothing it stored: a child
// stores numbered packets into the card files and reports each one; it is
// killed without warning part-way, and every reported packet must be there.
TEST(CardTest, CardFilesKeepEveryStoredPacketWhenTheProgramIsKilled) {
  TTempFolder Dir{"fq-emu"};
  int Pipe[2];
  ASSERT_EQ(::pipe(Pipe), 0);
  pid_t Child = ::fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    ::close(Pipe[0]);
    try {
      TCard Card(Dir.Text());
      TCableEmulator Cable(Card);
      for (uint32_t I = 0; I < TCard::FlashSize / 32; ++I) {
        auto Rom = WritePacket(cmdWriteRom, I * 32, Pattern(32, I));
        auto Sram = WritePacket(cmdWriteSram, (I * 32) % TCard::SramSize, Pattern(32, ~I));
        if (Cable.BulkOut(Rom.data(), Rom.size()) != 41 || Cable.BulkOut(Sram.data(), Sram.size()) != 41) ::_exit(2);
        if (::write(Pipe[1], &I, sizeof I) != sizeof I) ::_exit(3);
      }
    } catch (...) {
      ::_exit(4);
    }
    ::_exit(0);
  }
  ::close(Pipe[1]);
  uint32_t Done = 0, Last = 0;
  bool Any = false;
  while (!Any || Last < 3000) {
    ASSERT_EQ(::read(Pipe[0], &Done, sizeof Done), ssize_t(sizeof Done)) << "the child stopped early";
    Last = Done;
    Any = true;
  }
  ::kill(Child, SIGKILL);
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  ::close(Pipe[0]);
  ASSERT_TRUE(WIFSIGNALED(Status)) << "the child ended before it was killed";

  EXPECT_EQ(std::filesystem::file_size(Dir / "flash.bin"), TCard::FlashSize);
  EXPECT_EQ(std::filesystem::file_size(Dir / "sram.bin"), TCard::SramSize);
  TCard Card(Dir.Text());
  for (uint32_t I = 0; I <= Last; ++I) {
    auto Rom = Pattern(32, I);
    ASSERT_TRUE(std::equal(Rom.begin(), Rom.end(), Card.Flash() + I * 32)) << "flash packet " << I << " of " << Last;
  }
  // Save RAM packets wrap every 4096 packets: a place holds the reported
  // packet, or one the child stored there after its last report.
  const uint32_t Total = TCard::FlashSize / 32, Wrap = TCard::SramSize / 32;
  for (uint32_t I = 0; I <= Last; ++I) {
    bool Found = false;
    for (uint32_t Later = std::max(I, Last >= Wrap ? I + (Last - I) / Wrap * Wrap : I); Later < Total && !Found;
         Later += Wrap) {
      auto Sram = Pattern(32, ~Later);
      Found = std::equal(Sram.begin(), Sram.end(), Card.Sram() + (I * 32) % TCard::SramSize);
    }
    ASSERT_TRUE(Found) << "save RAM packet " << I << " of " << Last;
  }
}

// A card folder is never left with a short card file: a child creating a card
// is killed as soon as it writes into a new flash file, and what it leaves is
// either no flash.bin or a whole one, and a card that opens.
TEST(CardTest, CardFilesAreWholeOrAbsentWhenTheProgramIsKilledCreatingThem) {
  TTempFolder Dir{"fq-emu"};
  const std::string Card = Dir / "card";
  std::filesystem::create_directory(Card);
  int Watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(Watch, 0);
  ASSERT_GE(::inotify_add_watch(Watch, Card.c_str(), IN_MODIFY), 0);

  pid_t Child = ::fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    try {
      TCard Created(Card);
    } catch (...) {
      ::_exit(4);
    }
    ::_exit(0);
  }
  // The first write into a flash file, whatever its name.
  alignas(inotify_event) char Events[4096];
  bool Caught = false;
  while (!Caught) {
    ssize_t Got = ::read(Watch, Events, sizeof Events);
    ASSERT_GT(Got, 0);
    for (char* At = Events; At < Events + Got;) {
      auto* Event = reinterpret_cast<inotify_event*>(At);
      if (Event->len && std::string(Event->name).rfind("flash.bin", 0) == 0) Caught = true;
      At += sizeof(inotify_event) + Event->len;
    }
  }
  ::kill(Child, SIGKILL);
  ::waitpid(Child, nullptr, 0);
  ::close(Watch);

  if (std::filesystem::exists(Card + "/flash.bin")) {
    EXPECT_EQ(std::filesystem::file_size(Card + "/flash.bin"), TCard::FlashSize);
  }
  if (std::filesystem::exists(Card + "/sram.bin")) {
    EXPECT_EQ(std::filesystem::file_size(Card + "/sram.bin"), TCard::SramSize);
  }
  {
    TCard Reopened(Card);
    EXPECT_EQ(std::count(Reopened.Flash(), Reopened.Flash() + TCard::FlashSize, 0xFF), long(TCard::FlashSize));
  }
  // The unfinished file the child left goes once it is old: a later start
  // finds nothing but the two card files.
  for (const auto& Entry : std::filesystem::directory_iterator(Card))
    std::filesystem::last_write_time(Entry.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  TCard Later(Card);
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(Card)) Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<std::string>{"flash.bin", "sram.bin"}));
}

}  // namespace
