#include "core/transfer/FormatCard.h"

#include <cstring>

#include "core/FrontEnd.h"
#include "core/link/Link.h"
#include "core/support/Bytes.h"

void FormatBlocks(uint32_t Base, uint32_t Blocks, TLink& Link) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  FrontEnd.ShowBusyPanel("Now formatting...");
  FrontEnd.PumpMessages();
  TLinkWritePacket Packet;
  std::memset(&Packet, 0, sizeof Packet);
  Packet.Header.Code = cmdWriteRom;
  Packet.Header.Length = SwapDWord(LinkWriteChunk);
  for (uint32_t Block = 0; Block < Blocks; ++Block) {
    Packet.Header.Address = SwapDWord(Base + Block * FormatBlockSize + FormatClearOffset);
    // Unchecked: a failed format shows when the page is listed again.
    Link.SendWritePacket(Packet);
  }
  FrontEnd.HideBusyPanel();
}

void FormatCard(bool WholeChip, TLink& Link) {
  if (WholeChip)
    FormatBlocks(0, 2 * FormatBlocksPerPage, Link);
  else
    FormatBlocks(Link.State().PageBase, FormatBlocksPerPage, Link);
}
