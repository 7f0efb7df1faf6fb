// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/transfer/ContactCheck.h"

#include <cstdio>
#include <vector>

#include "core/FrontEnd.h"
#include "core/card/CardLayout.h"
#include "core/link/Link.h"
#include "core/link/LinkProtocol.h"
#include "core/transfer/ReadEngine.h"

namespace {

struct TRegion {
  const char* Name;
  uint8_t Code;
  uint32_t Start;   // page-relative for flash, bare for save RAM
  uint32_t Count;
};

const TRegion Regions[] = {
    {"the page's first 32 KiB", cmdReadRom, 0, ContactStartBytes},
    {"the end of the page", cmdReadRom, PageSize - ContactEndBytes, ContactEndBytes},
    {"the save RAM's first 4 KiB", cmdReadSram, 0, ContactSaveBytes},
};
constexpr size_t RegionCount = sizeof Regions / sizeof Regions[0];

std::string Hex6(int64_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%06llX", static_cast<unsigned long long>(Value));
  return Text;
}

// One pass over every region. False when a read failed or the check was
// stopped; End says which.
bool ReadPass(TLink& Link, std::vector<uint8_t> (&Bytes)[RegionCount], TTransferEnd& End) {
  TSharedState& State = Link.State();
  TFrontEnd& FrontEnd = Link.FrontEnd();
  for (size_t R = 0; R < RegionCount; ++R) {
    const TRegion& Region = Regions[R];
    Bytes[R].assign(Region.Count, 0);
    // Save RAM has no pages: its reads go to bare offsets.
    const uint32_t PageBase = State.PageBase;
    if (Region.Code == cmdReadSram) State.PageBase = 0;
    for (uint32_t Done = 0; Done < Region.Count;) {
      FrontEnd.PumpMessages();
      if (!State.Operating) {
        State.PageBase = PageBase;
        End = TTransferEnd::Stopped;
        return false;
      }
      const uint32_t Count = Region.Count - Done < ReadPieceSize ? Region.Count - Done : ReadPieceSize;
      if (!Link.ReadBlock(static_cast<int32_t>(Region.Start + Done), static_cast<uint16_t>(Count), Region.Code,
                          Bytes[R].data() + Done)) {
        State.PageBase = PageBase;
        End = TTransferEnd::LinkFailed;
        return false;
      }
      Done += Count;
    }
    State.PageBase = PageBase;
  }
  return true;
}

}  // namespace

TContactCheck CheckContact(TLink& Link) {
  TFrontEnd& FrontEnd = Link.FrontEnd();
  TSharedState& State = Link.State();
  TContactCheck Check;
  for (const TRegion& Region : Regions) Check.BytesPerPass += Region.Count;
  State.Operating = true;

  // The identifier first, twice (its exchange clears panel 1), then the
  // regions, each pass whole before the next.
  uint16_t Ids[2] = {0, 0};
  std::vector<uint8_t> Passes[2][RegionCount];
  for (uint16_t& Id : Ids) {
    Id = Link.ReadChipId();
    if (Id != 0) continue;
    Check.End = TTransferEnd::LinkFailed;
    Check.Text = "Contact check failed: the card did not answer (" + FrontEnd.StatusText(1) + ").";
    FrontEnd.SetStatusText(1, Check.Text);
    return Check;
  }
  FrontEnd.SetStatusText(1, "Now checking the contact...");
  FrontEnd.PumpMessages();
  for (int Pass = 0; Pass < 2; ++Pass) {
    if (ReadPass(Link, Passes[Pass], Check.End)) continue;
    Check.Text = Check.End == TTransferEnd::Stopped
                     ? "Contact check stopped: the contact was not checked."
                     : "Contact check failed: the card did not answer (" + FrontEnd.StatusText(1) + ").";
    FrontEnd.SetStatusText(1, Check.Text);
    return Check;
  }

  Check.End = TTransferEnd::Done;
  if (Ids[0] != Ids[1]) {
    Check.Region = "the chip identifier";
  } else {
    for (size_t R = 0; R < RegionCount && Check.Region.empty(); ++R) {
      for (uint32_t I = 0; I < Regions[R].Count; ++I) {
        if (Passes[0][R][I] == Passes[1][R][I]) continue;
        Check.Region = Regions[R].Name;
        Check.Address = Regions[R].Start + I + (Regions[R].Code == cmdReadRom ? State.PageBase : 0);
        break;
      }
    }
  }
  Check.Stable = Check.Region.empty();
  if (Check.Stable) {
    Check.Text = "Contact check passed: the card gave the same answers twice.";
  } else {
    Check.Text = "Unstable contact: the card answered differently twice (" + Check.Region +
                 (Check.Address >= 0 ? std::string(Regions[2].Name) == Check.Region
                                           ? ", save RAM address " + Hex6(Check.Address)
                                           : ", card address " + Hex6(Check.Address)
                                     : std::string()) +
                 "); " + ContactAdvice + ".";
  }
  FrontEnd.SetStatusText(1, Check.Text);
  return Check;
}
