// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <vector>

#include "core/SharedState.h"
#include "core/link/EmulatedLinkPort.h"
#include "core/link/Link.h"
#include "core/support/Bytes.h"
#include "emulator/CableEmulator.h"
#include "tests/support/ScriptedFrontEnd.h"

// The program's side over the cable and card in software, with every
// transfer logged.
struct TEmulatedRig {
  TCard Card;
  TCableEmulator Cable{Card};
  TEmulatedLinkPort Port{Cable};
  TSharedState State;
  TScriptedFrontEnd Front;
  TLink Link{Port, State, Front};

  TEmulatedRig() {
    Link.Reconnect();
    Cable.EnableLog(true);
  }

  // One command as it went out: the header fields, and the transfer's length.
  struct TSent {
    uint8_t Code;
    uint32_t Address, Length;
    size_t Bytes;
  };
  std::vector<TSent> Sent() {
    std::vector<TSent> Out;
    for (const TTransfer& Transfer : Cable.TakeLog()) {
      if (Transfer.In || Transfer.Bytes.size() < 9) continue;
      const uint8_t* B = Transfer.Bytes.data();
      Out.push_back({B[0], uint32_t(B[1]) << 24 | uint32_t(B[2]) << 16 | uint32_t(B[3]) << 8 | B[4],
                     uint32_t(B[5]) << 24 | uint32_t(B[6]) << 16 | uint32_t(B[7]) << 8 | B[8], Transfer.Bytes.size()});
    }
    return Out;
  }
};
