// SPDX-License-Identifier: GPL-3.0-or-later
// The trace decorator: one flushed line per transfer, in the trace's format.
#include <gtest/gtest.h>

#include <fstream>

#include "core/link/EmulatedLinkPort.h"
#include "core/link/PlatformErrors.h"
#include "core/link/TracePort.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<std::string> Lines(const std::string& Path) {
  std::ifstream In(Path);
  std::vector<std::string> Result;
  for (std::string Line; std::getline(In, Line);) Result.push_back(Line);
  return Result;
}

TEST(TracePortTest, FormatsEachKindOfTransfer) {
  const uint8_t Bytes[] = {0x00, 0x0A, 0xF0, 0xFF};
  struct TCase {
    bool In;
    long Result;
    int Error;
    const char* Line;
  };
  for (TCase Case : {TCase{false, 4, 0, "OUT 4 000af0ff"}, {true, 2, 0, "IN 2 000a"}, {true, 0, 0, "IN 0"},
                     {false, -1, 19, "OUT -1 error 19"}, {true, -1, 110, "IN -1 error 110"}}) {
    EXPECT_EQ(TTracePort::FormatLine(Case.In, Case.Result, Bytes, Case.Error), Case.Line);
  }
}

TEST(TracePortTest, WritesOneLinePerTransferAsItHappens) {
  TTempFolder Dir{"fq-emu"};
  TCard Card;
  TCableEmulator Cable(Card);
  TTracePort Port(std::make_unique<TEmulatedLinkPort>(Cable), Dir / "trace.txt");
  ASSERT_TRUE(Port.Ok()) << Port.Error();
  ASSERT_GT(Port.Open(), 0);

  auto Packet = Command(cmdReadRom, 0x8000, 2);
  EXPECT_EQ(Port.Write(Packet.data(), Packet.size()), 9);
  uint8_t Reply[8];
  EXPECT_EQ(Port.Read(Reply, sizeof Reply), 2);
  // The lines are in the file while the port is still open.
  EXPECT_EQ(Lines(Dir / "trace.txt"), (std::vector<std::string>{"OUT 9 ff0000800000000002", "IN 2 ffff"}));
  EXPECT_EQ(Port.Read(Reply, sizeof Reply), -1);
  EXPECT_EQ(Port.LastError(), kErrTimedOut);
  EXPECT_EQ(Lines(Dir / "trace.txt").back(), "IN -1 error " + std::to_string(kErrTimedOut));
  EXPECT_NE(Port.Describe().find("trace.txt"), std::string::npos);
}

TEST(TracePortTest, ATraceFileThatCannotBeCreatedIsReported) {
  TTempFolder Dir{"fq-emu"};
  TCard Card;
  TCableEmulator Cable(Card);
  TTracePort Port(std::make_unique<TEmulatedLinkPort>(Cable), Dir / "missing/trace.txt");
  EXPECT_FALSE(Port.Ok());
  EXPECT_NE(Port.Error().find("missing/trace.txt"), std::string::npos) << Port.Error();
}

}  // namespace
