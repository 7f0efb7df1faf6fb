// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/PacketSink.h"

#include "core/support/Bytes.h"

TPacketSink::TPacketSink(TLinkPort& Port) : FPort(Port) {}

TPacketSink::~TPacketSink() { Cancel(); }

void TPacketSink::SetDepth(unsigned Depth) {
  // A change applies to the packets sent from now on; those in flight were
  // sent under the old depth and end first.
  Settle();
  FDepth = Depth > MaxWritesInFlight ? MaxWritesInFlight : Depth;
}

unsigned TPacketSink::Requested() const {
  unsigned Depth = FDepth ? FDepth : FPort.WriteDepth() ? FPort.WriteDepth() : DefaultWritesInFlight;
  return Depth > MaxWritesInFlight ? MaxWritesInFlight : Depth;
}

TAsyncWrites* TPacketSink::Async() const { return Requested() > 1 ? FPort.AsyncWrites() : nullptr; }

unsigned TPacketSink::Depth() const {
  const TAsyncWrites* Writes = Async();
  if (!Writes) return 1;
  const unsigned Limit = Writes->MaxInFlight();
  const unsigned Depth = Requested();
  return Limit < 1 ? 1 : Limit < Depth ? Limit : Depth;
}

void TPacketSink::Fail() {
  if (!FFailed) FFailureError = FPort.LastError();
  FFailed = true;
  // What was sent after the failed packet would land behind a gap: it is
  // called back, and none of it counts as written.
  if (FInFlightBytes.Count > 0) {
    if (TAsyncWrites* Writes = FPort.AsyncWrites()) Writes->CancelAll();
    FInFlightBytes = TRing{};
  }
}

bool TPacketSink::FinishOldest() {
  TAsyncWrites* Writes = FPort.AsyncWrites();
  const long Moved = Writes ? Writes->FinishOldest() : -1;
  const uint32_t Bytes = FInFlightBytes.Pop();
  if (Moved != static_cast<long>(sizeof(TLinkWritePacket))) {
    Fail();
    return false;
  }
  FConfirmedBytes += Bytes;
  ++FConfirmedPackets;
  return true;
}

bool TPacketSink::Send(const TLinkWritePacket& Packet) {
  if (FFailed) return false;
  constexpr long PacketSize = sizeof(TLinkWritePacket);
  const auto* Bytes = reinterpret_cast<const uint8_t*>(&Packet);
  const uint32_t Count = SwapDWord(Packet.Header.Length);
  TAsyncWrites* Writes = Async();
  if (!Writes) {
    if (FPort.Write(Bytes, PacketSize) != PacketSize) {
      Fail();
      return false;
    }
    FConfirmedBytes += Count;
    ++FConfirmedPackets;
    return true;
  }
  while (FInFlightBytes.Count >= Depth())
    if (!FinishOldest()) return false;
  if (!Writes->Start(Bytes, PacketSize)) {
    // The packets ahead of this one may still have been taken: their ends
    // are collected first, so they count. The failure is this packet's
    // unless one of them failed before it.
    const int Error = FPort.LastError();
    Settle();
    if (!FFailed) {
      FFailed = true;
      FFailureError = Error;
    }
    return false;
  }
  FInFlightBytes.Push(Count);
  return true;
}

void TPacketSink::Settle() {
  while (FInFlightBytes.Count > 0)
    if (!FinishOldest()) break;
}

bool TPacketSink::Finish() {
  Settle();
  const bool Whole = !FFailed;
  FFailed = false;
  return Whole;
}

bool TPacketSink::Cancel() {
  const bool Any = FInFlightBytes.Count > 0;
  if (Any) {
    if (TAsyncWrites* Writes = FPort.AsyncWrites()) Writes->CancelAll();
    FInFlightBytes = TRing{};
  }
  const bool Whole = !FFailed && !Any;
  FFailed = false;
  return Whole;
}
