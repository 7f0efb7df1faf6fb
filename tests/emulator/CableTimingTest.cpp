// SPDX-License-Identifier: GPL-3.0-or-later
// The timing model of the emulated cable: the bus's frames and slots, the
// OUT endpoint's one packet, the flash's program and erase times, and when
// the host sees a transfer end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "emulator/CableTiming.h"

namespace {

constexpr int64_t Us = 1000, Ms = 1000 * Us, S = 1000 * Ms;
const TFirmwareWork Program{true, false, false}, EraseAndProgram{true, true, false}, Query{false, false, true};

struct TScenario {
  const char* What;
  int64_t LatencyNs;
  unsigned Packets;     // 'W' packets
  bool InFlight;        // all started at once, else one after the other
  bool FirstErases;     // the first one starts an erase block
  int64_t AtLeast, AtMost;   // when the host has seen the last one end
};

// Runs the 'W' packets of a scenario; the host time once the last has ended.
int64_t RunWrites(const TScenario& Case) {
  TCableTimingFigures Figures;
  Figures.CompletionLatencyNs = Case.LatencyNs;
  TCableTiming Timing(Figures);
  int64_t Last = 0;
  for (unsigned I = 0; I < Case.Packets; ++I) {
    Last = Timing.StartOut(41, I == 0 && Case.FirstErases ? EraseAndProgram : Program);
    if (!Case.InFlight) Timing.WaitUntil(Last);
  }
  Timing.WaitUntil(Last);
  return Timing.Now();
}

TEST(CableTiming, WritesOneAtATimeWaitAFrameEachAndInFlightRunAtTheFlashsPace) {
  const TScenario Cases[] = {
      {"one packet: seen at the end of its frame", Ms, 1, false, false, Ms, Ms},
      {"one at a time: a frame each", Ms, 100, false, false, 100 * Ms, 100 * Ms},
      {"in flight: the buffer programs back to back", Ms, 1000, true, false, 1000 * 218 * Us,
       1000 * 218 * Us + 2 * Ms},
      {"in flight with an erase first", Ms, 1000, true, true, S + 1000 * 218 * Us, S + 1000 * 218 * Us + 2 * Ms},
      // The packet behind the erase is taken into the endpoint at once; the
      // next waits the erase out, the others a frame each.
      {"one at a time with an erase first: the erase is waited for once", Ms, 100, false, true, S + 97 * Ms,
       S + 101 * Ms},
      // Seen every 125 us, one at a time keeps close to the flash already:
      // the endpoint holds the next packet while the flash programs.
      {"one at a time, completions every 125 us", 125 * Us, 100, false, false, 98 * 218 * Us,
       100 * 250 * Us + Ms},
  };
  for (const TScenario& Case : Cases) {
    SCOPED_TRACE(Case.What);
    const int64_t Took = RunWrites(Case);
    EXPECT_GE(Took, Case.AtLeast);
    EXPECT_LE(Took, Case.AtMost);
    EXPECT_EQ(Took % Case.LatencyNs, 0) << "completions are seen at interval ends only";
  }
}

// A read: the command's frame, then 19 packets of 64 bytes a frame.
TEST(CableTiming, ReadsCostBusTimeOnly) {
  const struct {
    size_t Bytes;
    int64_t Seen;   // of the IN transfer, the command sent at 0
  } Cases[] = {
      {4, 2 * Ms},             // the command's frame, then one packet
      {19 * 64, 2 * Ms},       // exactly one frame of packets
      {19 * 64 + 1, 3 * Ms},   // one packet more spills into the next frame
      {4096, 5 * Ms},          // 64 packets: four frames after the command's
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Bytes);
    TCableTiming Timing;
    Timing.WaitUntil(Timing.StartOut(9, Query));
    EXPECT_EQ(Timing.Now(), Ms);
    EXPECT_EQ(Timing.StartIn(Case.Bytes), Case.Seen);
  }
  TCableTiming Timing;
  EXPECT_EQ(Timing.BusLimitNs(19 * 64), Ms);
  EXPECT_EQ(Timing.FlashLimitNs(131072, 32), 131072 * 218 * Us + 32 * S);
}

// A packet behind an erase waits in the endpoint (so its transfer ends at
// once); the one after it is NAKed until the erase is over.
TEST(CableTiming, TheEndpointHoldsOnePacketWhileTheFirmwareWorks) {
  TCableTiming Timing;
  EXPECT_EQ(Timing.StartOut(41, EraseAndProgram), Ms);
  EXPECT_EQ(Timing.StartOut(41, Program), Ms);
  const int64_t Third = Timing.StartOut(41, Program);
  EXPECT_GE(Third, S);
  EXPECT_LE(Third, S + 2 * Ms);
  // The host's own time moved only when it waited.
  EXPECT_EQ(Timing.Now(), 0);
}

}  // namespace
