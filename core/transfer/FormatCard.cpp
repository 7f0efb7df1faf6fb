// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/FormatCard.h"

#include <cstring>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/support/Bytes.h"

uint32_t FormatBlocks(uint32_t Base, uint32_t Blocks, TLink& Link) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  FrontEnd.ShowBusyPanel("Now formatting...");
  FrontEnd.PumpMessages();
  TLinkWritePacket Packet;
  std::memset(&Packet, 0, sizeof Packet);
  Packet.Header.Code = cmdWriteRom;
  Packet.Header.Length = SwapDWord(LinkWriteChunk);
  const uint64_t ConfirmedBefore = Link.Writes().ConfirmedPackets();
  for (uint32_t Block = 0; Block < Blocks; ++Block) {
    Packet.Header.Address = SwapDWord(Base + Block * FormatBlockSize + FormatClearOffset);
    if (!Link.SendWritePacket(Packet)) break;
  }
  // Blocks count as cleared only once the cable confirmed their packets.
  Link.FinishWrites();
  FrontEnd.HideBusyPanel();
  return static_cast<uint32_t>(Link.Writes().ConfirmedPackets() - ConfirmedBefore);
}

uint32_t FormatCard(bool WholeChip, TLink& Link) {
  if (WholeChip) return FormatBlocks(0, 2 * FormatBlocksPerPage, Link);
  return FormatBlocks(Link.State().PageBase, FormatBlocksPerPage, Link);
}
