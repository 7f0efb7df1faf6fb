// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/LinkProtocol.h"

#include "core/support/Bytes.h"

namespace {

constexpr TChipInfo KnownChips[] = {
    {0x8917, "E28F640J3A", 0x400000},
};

}  // namespace

const TChipInfo* FindChip(uint16_t Id) {
  for (const TChipInfo& Chip : KnownChips)
    if (Chip.Id == Id) return &Chip;
  return nullptr;
}

TLinkCommand MakeLinkCommand(uint8_t Code, uint32_t Address, uint32_t Length) {
  TLinkCommand Command;
  Command.Code = Code;
  Command.Address = SwapDWord(Address);
  Command.Length = SwapDWord(Length);
  return Command;
}
