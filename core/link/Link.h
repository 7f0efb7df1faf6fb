// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

#include "core/SharedState.h"
#include "core/link/LinkPort.h"
#include "core/link/LinkProtocol.h"
#include "core/link/PacketSink.h"

class TFrontEnd;

// The program's side of the cable: the link handle and the small exchanges
// that everything else is built from. Failures are reported through the front
// end ("Error Code: N" in status panel 1), never thrown.
class TLink {
public:
  TLink(TLinkPort& Port, TSharedState& State, TFrontEnd& FrontEnd);

  // Opens the first cable; a handle, or -1 when none could be opened.
  intptr_t OpenLink();
  // Closes an open link, opens again and keeps the handle (0 when the open
  // failed; never -1). True when a link is open afterwards.
  bool Reconnect();
  intptr_t LinkHandle() const { return FLinkHandle; }

  uint16_t ReadChipId();           // 0 after a failed exchange
  bool ReadBlock(int32_t Address, uint16_t Count, uint8_t Code, uint8_t* Buffer);
  void SelectPage(uint32_t Base);
  void WritePorts(const uint8_t Values[8]);
  void ReadPorts(uint8_t Buffer[8]);
  // Sends one 41-byte write packet, keeping up to Writes().Depth() in flight
  // on a port that can. False when this packet or one sent before it was not
  // taken whole: nothing more goes out until FinishWrites. Nothing is
  // reported here: the write engine reports, the format does not.
  bool SendWritePacket(const TLinkWritePacket& Packet);
  // Waits until every write packet in flight has ended; true when every one
  // since the last FinishWrites was taken whole. Every sender of write
  // packets calls it before it says how its run ended.
  bool FinishWrites();
  TPacketSink& Writes() { return FWrites; }
  void ReportLinkError();
  // The error of the write packet that failed, which later exchanges (during
  // a pump, say) may have replaced as the port's last error.
  void ReportWriteError();

  // The core half of the chip identification: CardCapacity := 0, then, with a
  // link, the identifier is asked for and a known chip sets CardCapacity.
  struct TIdentity {
    bool Asked = false;            // a link was open and 'D' was sent
    uint16_t Id = 0;
    const TChipInfo* Chip = nullptr;
  };
  TIdentity IdentifyChip();

  TLinkPort& Port() { return FPort; }
  TSharedState& State() { return FState; }
  TFrontEnd& FrontEnd() { return FFrontEnd; }

private:
  TLinkPort& FPort;
  TSharedState& FState;
  TFrontEnd& FFrontEnd;
  intptr_t FLinkHandle = 0;
  // Every other exchange first lets the writes in flight end, so that no
  // read answers before the writes sent ahead of it were taken.
  TPacketSink FWrites{FPort};
};
