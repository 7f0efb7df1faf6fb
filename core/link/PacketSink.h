// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/link/LinkPort.h"
#include "core/link/LinkProtocol.h"

// How many 'W'/'M' packets are kept in flight by default on a port that can.
// The cable programs a packet in about 218 us while the host learns of a
// completion only at the end of a 1 ms frame, so about five packets are used
// up per frame; 16 keeps the cable busy with room to spare for a late refill
// (bench_inflight measures N = 1 to 32).
constexpr unsigned DefaultWritesInFlight = 16;
// The most a user may ask for; beyond this nothing is gained, and a cut
// write would leave more unconfirmed behind.
constexpr unsigned MaxWritesInFlight = 64;

// Where the write packets go: up to Depth of them in flight on a port that
// can keep writes in flight, one at a time (a synchronous Write each) on any
// other. Packets reach the cable in the order sent.
//
// When a packet is not taken whole, the packets sent after it are cancelled
// (the card would get data after a gap), and the sink counts as failed until
// Finish: Send refuses every further packet, Finish returns false. Only
// packets the cable confirmed, in order and up to the first that failed,
// count in ConfirmedBytes and ConfirmedPackets, so a report of what a cut
// write left never claims more than reached the card.
class TPacketSink {
public:
  explicit TPacketSink(TLinkPort& Port);
  ~TPacketSink();   // nothing is left in flight: what still is, is cancelled
  TPacketSink(const TPacketSink&) = delete;
  TPacketSink& operator=(const TPacketSink&) = delete;

  // The most packets kept in flight (1 to MaxWritesInFlight; 1: one at a
  // time; 0: the port's WriteDepth, or DefaultWritesInFlight when that is
  // 0 too). The port's own limit caps it.
  void SetDepth(unsigned Depth);
  unsigned Depth() const;

  // Hands one packet to the cable; waits first for the oldest in flight when
  // Depth are. False when this packet or one sent before it was not taken
  // whole; the port's LastError() then tells why.
  bool Send(const TLinkWritePacket& Packet);
  // Waits for every packet in flight, without ending the run: a failure
  // stays for Finish to report. Called before any other exchange.
  void Settle();
  // Waits for every packet in flight and ends the run: true when every
  // packet since the last Finish was taken whole. The failure is cleared.
  bool Finish();
  // Cancels what is in flight, waits until each has ended, and ends the run
  // as failed if anything was cancelled or failed (false then).
  bool Cancel();

  bool Failed() const { return FFailed; }
  size_t InFlight() const { return FInFlightBytes.Count; }
  // Counted since the sink was made; a caller takes the difference.
  uint64_t ConfirmedBytes() const { return FConfirmedBytes; }
  uint64_t ConfirmedPackets() const { return FConfirmedPackets; }
  // The port's error of the first packet that failed since the last Finish
  // (0 when none failed), so the report names it after later exchanges.
  int FailureError() const { return FFailureError; }

private:
  bool FinishOldest();
  void Fail();
  TAsyncWrites* Async() const;

  // The data byte counts of the packets in flight, oldest first.
  struct TRing {
    uint32_t Items[MaxWritesInFlight] = {};
    size_t Head = 0, Count = 0;
    void Push(uint32_t Value) { Items[(Head + Count++) % MaxWritesInFlight] = Value; }
    uint32_t Pop() {
      const uint32_t Value = Items[Head];
      Head = (Head + 1) % MaxWritesInFlight;
      --Count;
      return Value;
    }
  };

  TLinkPort& FPort;
  unsigned FDepth = 0;
  unsigned Requested() const;
  TRing FInFlightBytes;
  bool FFailed = false;
  int FFailureError = 0;
  uint64_t FConfirmedBytes = 0;
  uint64_t FConfirmedPackets = 0;
};
