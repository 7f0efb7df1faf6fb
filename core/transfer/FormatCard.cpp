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
  uint32_t Block = 0;
  for (; Block < Blocks; ++Block) {
    Packet.Header.Address = SwapDWord(Base + Block * FormatBlockSize + FormatClearOffset);
    if (!Link.SendWritePacket(Packet)) break;
  }
  FrontEnd.HideBusyPanel();
  return Block;
}

uint32_t FormatCard(bool WholeChip, TLink& Link) {
  if (WholeChip) return FormatBlocks(0, 2 * FormatBlocksPerPage, Link);
  return FormatBlocks(Link.State().PageBase, FormatBlocksPerPage, Link);
}
