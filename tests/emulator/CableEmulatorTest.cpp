// SPDX-License-Identifier: GPL-3.0-or-later
// The cable's firmware: the shape of every command's exchange, the NOR rules
// as the write commands meet them, and the test controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "core/link/PlatformErrors.h"
#include "emulator/CableEmulator.h"
#include "tests/support/TestSupport.h"

namespace {

class CableEmulatorTest : public ::testing::Test {
protected:
  TCard Card;
  TCableEmulator Cable{Card};

  long Send(const std::vector<uint8_t>& Bytes) { return Cable.BulkOut(Bytes.data(), Bytes.size()); }

  // Everything the cable has queued, collected with one generous read.
  std::vector<uint8_t> Collect() {
    std::vector<uint8_t> Bytes(0x20000);
    long Moved = Cable.BulkIn(Bytes.data(), Bytes.size());
    Bytes.resize(Moved < 0 ? 0 : size_t(Moved));
    return Bytes;
  }

  std::vector<uint8_t> ReadRom(uint32_t Address, uint32_t Length) {
    EXPECT_EQ(Send(Command(cmdReadRom, Address, Length)), 9);
    return Collect();
  }

  void WriteRom(uint32_t Address, const std::vector<uint8_t>& Image) {
    for (size_t Offset = 0; Offset < Image.size(); Offset += 32) {
      std::vector<uint8_t> Chunk(Image.begin() + Offset, Image.begin() + std::min(Image.size(), Offset + 32));
      ASSERT_EQ(Send(WritePacket(cmdWriteRom, Address + uint32_t(Offset), Chunk)), 41);
    }
  }
};

TEST_F(CableEmulatorTest, EveryCommandAnswersWithItsReplyShape) {
  for (uint32_t I = 0; I < 16; ++I) Card.Flash()[0x8000 + I] = uint8_t(0x10 + I);
  Card.Flash()[0x7FFFFE] = 0xE1;
  Card.Flash()[0x7FFFFF] = 0xE2;
  Card.Flash()[0] = 0xE3;
  Card.Flash()[0x400123] = 0xC4;
  Card.Sram()[0x10] = 0x51;
  Card.Sram()[0x11] = 0x52;
  Card.Sram()[0x1FFFF] = 0x5F;
  Card.Sram()[0] = 0x50;

  struct TCase {
    const char* What;
    std::vector<uint8_t> Packet;
    std::vector<uint8_t> Reply;
  };
  const TCase Cases[] = {
      {"chip id, low byte first", Command(cmdChipId), {0x17, 0x89, 0x00, 0x00}},
      {"flash read", Command(cmdReadRom, 0x8000, 4), {0x10, 0x11, 0x12, 0x13}},
      {"flash read of one byte", Command(cmdReadRom, 0x8005, 1), {0x15}},
      {"flash read across the chip's end", Command(cmdReadRom, 0x7FFFFE, 3), {0xE1, 0xE2, 0xE3}},
      {"flash read past the chip: page 2 seen again", Command(cmdReadRom, 0xC00123, 1), {0xC4}},
      {"save RAM read at a page-2 address", Command(cmdReadSram, 0x400010, 2), {0x51, 0x52}},
      {"save RAM read across its end", Command(cmdReadSram, 0x1FFFF, 2), {0x5F, 0x50}},
      {"ports at power-on", Command(cmdGetPorts), std::vector<uint8_t>(8, 0xFF)},
      {"rom write", WritePacket(cmdWriteRom, 0x100, {1, 2, 3}), {}},
      {"save RAM write", WritePacket(cmdWriteSram, 0x100, {1, 2, 3}), {}},
      {"page select", Command(cmdSelectPage, 0x400000), {}},
      {"set ports", Command(cmdSetPorts, 0xFFFFFFFF, 0xFFFFFFFF), {}},
  };
  for (const TCase& Case : Cases) {
    EXPECT_EQ(Send(Case.Packet), long(Case.Packet.size())) << Case.What;
    EXPECT_EQ(Collect(), Case.Reply) << Case.What;
    EXPECT_FALSE(Cable.ReplyPending()) << Case.What;
  }
  EXPECT_EQ(Cable.IgnoredCommands(), 0u);
}

TEST_F(CableEmulatorTest, ReadsAnswerExactlyTheLengthAsked) {
  for (uint32_t Length : {1u, 512u, 4096u, 65535u}) {
    EXPECT_EQ(ReadRom(0x400000, Length).size(), Length);
    EXPECT_EQ(Send(Command(cmdReadSram, 0, Length)), 9);
    EXPECT_EQ(Collect().size(), Length);
  }
}

TEST_F(CableEmulatorTest, AnotherChipAnswersItsOwnIdentifier) {
  Card.SetChipId(0x1789);
  Send(Command(cmdChipId));
  EXPECT_EQ(Collect(), (std::vector<uint8_t>{0x89, 0x17, 0x00, 0x00}));
}

TEST_F(CableEmulatorTest, MalformedCommandsAreTakenButNotCarriedOut) {
  std::fill(Card.Flash() + 0x20000, Card.Flash() + 0x20100, 0x00);
  std::fill(Card.Sram(), Card.Sram() + 0x100, 0x33);
  auto ShortWrite = WritePacket(cmdWriteRom, 0x20000, {1, 2, 3});
  ShortWrite.resize(9);
  auto LongChipId = Command(cmdChipId);
  LongChipId.resize(41);
  struct TCase {
    const char* What;
    std::vector<uint8_t> Packet;
  };
  const TCase Cases[] = {
      {"rom write of 9 bytes", ShortWrite},
      {"rom write of Length 0", WritePacket(cmdWriteRom, 0x20000, {})},
      {"rom write of Length 33", [] { auto P = WritePacket(cmdWriteRom, 0x20000, {}); P[8] = 33; return P; }()},
      {"save RAM write of Length 0", WritePacket(cmdWriteSram, 0, {})},
      {"save RAM write of 40 bytes", [] { auto P = WritePacket(cmdWriteSram, 0, {7}); P.pop_back(); return P; }()},
      {"flash read of Length 0", Command(cmdReadRom, 0, 0)},
      {"flash read of Length 65536", Command(cmdReadRom, 0, 0x10000)},
      {"save RAM read of Length 2^32-1", Command(cmdReadSram, 0, 0xFFFFFFFF)},
      {"chip id of 8 bytes", {'D', 0, 0, 0, 0, 0, 0, 0}},
      {"chip id of 41 bytes", LongChipId},
      {"unknown code", Command('Z', 0, 4)},
  };
  unsigned long Ignored = 0;
  for (const TCase& Case : Cases) {
    EXPECT_EQ(Send(Case.Packet), long(Case.Packet.size())) << Case.What;
    EXPECT_EQ(Cable.IgnoredCommands(), ++Ignored) << Case.What;
    EXPECT_FALSE(Cable.ReplyPending()) << Case.What;
  }
  EXPECT_TRUE(std::all_of(Card.Flash() + 0x20000, Card.Flash() + 0x20100, [](uint8_t B) { return B == 0; }))
      << "a refused write erased or programmed flash";
  EXPECT_TRUE(std::all_of(Card.Sram(), Card.Sram() + 0x100, [](uint8_t B) { return B == 0x33; }));
  EXPECT_EQ(Cable.BulkOut(nullptr, 0), 0) << "a zero-length transfer";
}

TEST_F(CableEmulatorTest, WritesStoreOnlyTheirLengthAndProgramByAnd) {
  std::fill(Card.Flash() + 0x100, Card.Flash() + 0x140, 0xF0);
  Send(WritePacket(cmdWriteRom, 0x100, Pattern(5, 9), 0x00));
  auto Stored = ReadRom(0x100, 32);
  auto Expected = Pattern(5, 9);
  for (auto& Byte : Expected) Byte &= 0xF0;
  Expected.resize(32, 0xF0);   // the filler after Length is not written
  EXPECT_EQ(Stored, Expected);

  Send(WritePacket(cmdWriteRom, 0x120, std::vector<uint8_t>(32, 0x3C)));
  Send(WritePacket(cmdWriteRom, 0x120, std::vector<uint8_t>(32, 0x0F)));
  EXPECT_EQ(ReadRom(0x120, 32), std::vector<uint8_t>(32, 0x00)) << "0xF0 AND 0x3C AND 0x0F";

  // Save RAM is plain memory: a write replaces, bits come back.
  Send(WritePacket(cmdWriteSram, 0x1FFFE, {0x00, 0x11, 0x22}, 0xEE));
  Send(WritePacket(cmdWriteSram, 0x1FFFE, {0xFF}));
  EXPECT_EQ(Card.Sram()[0x1FFFE], 0xFF);
  EXPECT_EQ(Card.Sram()[0x1FFFF], 0x11);
  EXPECT_EQ(Card.Sram()[0], 0x22) << "save RAM writes wrap at 128 KiB";
  EXPECT_EQ(Card.Sram()[1], 0x00) << "the filler after Length was written";
}

TEST_F(CableEmulatorTest, AWriteAtABlocksFirstByteErasesThatBlockFirst) {
  std::fill(Card.Flash(), Card.Flash() + 0x80000, 0x00);   // blocks 0 to 3 fully programmed
  struct TCase {
    uint32_t Address;
    int ErasedBlock;   // -1: none
  };
  for (TCase Case : {TCase{0x20001, -1}, {0x3FFF0, -1}, {0x20000, 1}, {0x860000, 3}}) {
    Send(WritePacket(cmdWriteRom, Case.Address, {0xAB}));
    for (int Block = 0; Block < 4; ++Block) {
      const uint8_t* Start = Card.Flash() + Block * TCard::EraseBlockSize;
      size_t Erased = std::count(Start, Start + TCard::EraseBlockSize, 0xFF);
      size_t Expected = Block == Case.ErasedBlock ? TCard::EraseBlockSize - 1 : 0;
      EXPECT_EQ(Erased, Expected) << std::hex << "write at 0x" << Case.Address << ", block " << Block;
    }
    EXPECT_EQ(Card.ReadFlash(Case.Address), Case.ErasedBlock < 0 ? 0x00 : 0xAB);
    std::fill(Card.Flash(), Card.Flash() + 0x80000, 0x00);
  }
}

// The page write as the program sends it: a format (32 zero bytes at 0x130 of
// every 32 KiB block of the page), then the image from the page's start, over
// a page that still holds an older, longer image and no erase command at all.
TEST_F(CableEmulatorTest, AnImageWrittenAfterAFormatReadsBackOverOldData) {
  const uint32_t PageBase = 0x400000;
  const auto Old = Pattern(0x40000, 11);   // two erase blocks
  WriteRom(PageBase, Old);
  ASSERT_EQ(ReadRom(PageBase, 0x8000), std::vector<uint8_t>(Old.begin(), Old.begin() + 0x8000));

  for (uint32_t Block = 0; Block < 128; ++Block)
    ASSERT_EQ(Send(WritePacket(cmdWriteRom, PageBase + Block * 0x8000 + 0x130, std::vector<uint8_t>(32, 0))), 41);
  const auto New = Pattern(40000 + 5, 12);   // not a multiple of 32
  WriteRom(PageBase, New);

  std::vector<uint8_t> Back;
  for (uint32_t Offset = 0; Offset < New.size(); Offset += 4096) {
    auto Piece = ReadRom(PageBase + Offset, std::min<uint32_t>(4096, uint32_t(New.size()) - Offset));
    Back.insert(Back.end(), Piece.begin(), Piece.end());
  }
  EXPECT_EQ(Back, New);
  // The rest of the first erase block was erased with it.
  EXPECT_EQ(ReadRom(PageBase + 0x18130, 32), std::vector<uint8_t>(32, 0xFF));
  // The second erase block keeps the old image, with its header areas zeroed,
  // so no old game is found there any more.
  for (uint32_t Slot = 0x20000; Slot < 0x40000; Slot += 0x8000) {
    EXPECT_EQ(ReadRom(PageBase + Slot + 0x130, 32), std::vector<uint8_t>(32, 0x00)) << std::hex << Slot;
    EXPECT_EQ(ReadRom(PageBase + Slot + 0x100, 0x30), std::vector<uint8_t>(Old.begin() + Slot + 0x100, Old.begin() + Slot + 0x130));
  }
  // Page 1 was not touched.
  EXPECT_EQ(ReadRom(0, 4096), std::vector<uint8_t>(4096, 0xFF));
}

TEST_F(CableEmulatorTest, PageSelectAndPortsAreKept) {
  Send(Command(cmdSelectPage, 0x400000));
  EXPECT_EQ(Card.ConsolePageBase(), 0x400000u);
  Send(Command(cmdSelectPage, 0));
  EXPECT_EQ(Card.ConsolePageBase(), 0u);

  const std::vector<uint8_t> Set = {'1', 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  Send(Set);
  EXPECT_TRUE(std::equal(Set.begin() + 1, Set.end(), Cable.Ports()));
  Send(Command(cmdGetPorts));
  EXPECT_EQ(Collect(), std::vector<uint8_t>(Set.begin() + 1, Set.end()));

  // Unplugging powers the cable off: its ports start again at power-on.
  Cable.Unplug();
  Cable.Plug();
  Send(Command(cmdGetPorts));
  EXPECT_EQ(Collect(), std::vector<uint8_t>(8, 0xFF));
}

TEST_F(CableEmulatorTest, ReadsTimeOutWithNothingPendingAndTakeRepliesInPieces) {
  uint8_t Buffer[16];
  EXPECT_EQ(Cable.BulkIn(Buffer, sizeof Buffer), -1);
  EXPECT_EQ(Cable.LastError(), kErrTimedOut);

  Send(Command(cmdChipId));
  Send(Command(cmdReadRom, 0, 3));
  EXPECT_TRUE(Cable.ReplyPending());
  EXPECT_EQ(Cable.BulkIn(Buffer, 2), 2);
  EXPECT_EQ(Cable.BulkIn(Buffer, sizeof Buffer), 5) << "the rest of 'D' and the three flash bytes, in order";
  EXPECT_EQ(Buffer[0], 0x00);
  EXPECT_EQ(Buffer[2], 0xFF);
  EXPECT_EQ(Cable.BulkIn(Buffer, sizeof Buffer), -1);
  EXPECT_EQ(Cable.LastError(), kErrTimedOut);
}

TEST_F(CableEmulatorTest, UnreadRepliesStallTheCableBeyondTheirLimit) {
  const size_t Reads = TCableEmulator::MaxPendingReply / 0xFFFF + 1;
  for (size_t I = 0; I < Reads; ++I) ASSERT_EQ(Send(Command(cmdReadRom, 0, 0xFFFF)), 9) << I;
  EXPECT_EQ(Send(Command(cmdChipId)), -1);
  EXPECT_EQ(Cable.LastError(), kErrTimedOut);
}

TEST_F(CableEmulatorTest, UnplugAfterNTransfersFailsEveryLaterOneUntilPluggedAgain) {
  uint8_t Buffer[4];
  Cable.UnplugAfter(3);
  EXPECT_EQ(Send(Command(cmdChipId)), 9);
  EXPECT_EQ(Cable.BulkIn(Buffer, 4), 4);
  EXPECT_EQ(Send(Command(cmdChipId)), 9);
  EXPECT_FALSE(Cable.Plugged());
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(Cable.BulkIn(Buffer, 4), -1) << "the reply queued before the unplug is gone";
    EXPECT_EQ(Cable.LastError(), kErrNoSuchDevice);
    EXPECT_EQ(Send(WritePacket(cmdWriteRom, 0x10, {0})), -1);
    EXPECT_EQ(Cable.LastError(), kErrNoSuchDevice);
  }
  EXPECT_EQ(Card.ReadFlash(0x10), 0xFF) << "a write on an unplugged cable reached the card";

  Cable.Plug();
  EXPECT_EQ(Send(Command(cmdChipId)), 9);
  EXPECT_EQ(Cable.BulkIn(Buffer, 4), 4);

  Cable.UnplugAfter(0);
  EXPECT_FALSE(Cable.Plugged());
  Cable.Plug();
  Cable.UnplugAfter(1);
  Cable.UnplugAfter(-1);   // cancelled
  Send(Command(cmdChipId));
  EXPECT_EQ(Cable.BulkIn(Buffer, 4), 4);
  EXPECT_TRUE(Cable.Plugged());
}

TEST_F(CableEmulatorTest, ShortAndCorruptRepliesAffectOnlyTheNextReply) {
  for (uint32_t I = 0; I < 16; ++I) Card.Flash()[I] = uint8_t(I);
  Cable.ShortReplyOnce(3);
  EXPECT_EQ(ReadRom(0, 16).size(), 3u);
  EXPECT_EQ(ReadRom(0, 16).size(), 16u);

  Cable.FlipReadBitOnce(5, 0x10);
  auto Bad = ReadRom(0, 16);
  ASSERT_EQ(Bad.size(), 16u);
  EXPECT_EQ(Bad[5], 0x15);
  Bad[5] = 5;
  EXPECT_EQ(Bad, ReadRom(0, 16)) << "only byte 5 of that one reply is corrupt";
  EXPECT_EQ(Card.ReadFlash(5), 5) << "the card itself was changed";
}

TEST_F(CableEmulatorTest, TheLogHoldsEveryTransferThatMovedBytes) {
  Send(Command(cmdChipId));   // before the log is on
  Collect();
  Cable.EnableLog(true);
  Send(Command(cmdChipId));
  uint8_t Buffer[8];
  Cable.BulkIn(Buffer, 2);
  Cable.BulkIn(Buffer, 8);
  Cable.BulkIn(Buffer, 8);   // times out: nothing crossed the cable
  auto Log = Cable.TakeLog();
  ASSERT_EQ(Log.size(), 3u);
  EXPECT_FALSE(Log[0].In);
  EXPECT_EQ(Log[0].Bytes, Command(cmdChipId));
  EXPECT_TRUE(Log[1].In);
  EXPECT_EQ(Log[1].Bytes, (std::vector<uint8_t>{0x17, 0x89}));
  EXPECT_EQ(Log[2].Bytes, (std::vector<uint8_t>{0x00, 0x00}));
  EXPECT_TRUE(Cable.TakeLog().empty());
  Cable.EnableLog(false);
  Send(Command(cmdChipId));
  EXPECT_TRUE(Cable.TakeLog().empty());
}

TEST_F(CableEmulatorTest, SeveralThreadsShareTheCable) {
  Cable.EnableLog(true);
  constexpr int Threads = 4, Packets = 2000;
  std::vector<std::thread> Workers;
  std::vector<int> Errors(Threads);
  for (int T = 0; T < Threads; ++T)
    Workers.emplace_back([&, T] {
      for (int I = 0; I < Packets; ++I) {
        auto Packet = WritePacket(cmdWriteRom, uint32_t(T) * 0x100000 + uint32_t(I) * 32, Pattern(32, T * Packets + I));
        Cable.BulkOut(Packet.data(), Packet.size());
      }
      uint8_t Byte;
      if (T == 0) Cable.BulkIn(&Byte, 1);   // this thread's own failure
      Errors[T] = Cable.LastError();
    });
  for (auto& Worker : Workers) Worker.join();
  EXPECT_EQ(Errors[0], kErrTimedOut);
  for (int T = 1; T < Threads; ++T) EXPECT_EQ(Errors[T], 0) << "thread " << T << " saw another thread's error";
  EXPECT_EQ(Cable.LastError(), 0);
  EXPECT_EQ(Cable.TakeLog().size(), size_t(Threads * Packets));
  for (int T = 0; T < Threads; ++T)
    for (int I = 0; I < Packets; ++I) {
      auto Expected = Pattern(32, T * Packets + I);
      ASSERT_TRUE(std::equal(Expected.begin(), Expected.end(), Card.Flash() + T * 0x100000 + I * 32)) << T << " " << I;
    }
}

}  // namespace
