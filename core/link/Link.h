// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>

#include "core/SharedState.h"
#include "core/link/LinkPort.h"
#include "core/link/LinkProtocol.h"

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
  // Sends one 41-byte write packet; true when the cable took all 41 bytes.
  // Nothing is reported here: the write engine reports, the format does not.
  bool SendWritePacket(const TLinkWritePacket& Packet);
  void ReportLinkError();

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
};
