// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <atomic>
#include <string>

#include "emulator/CableEmulator.h"

// The cable emulator served as a USB device through a FunctionFS instance
// mounted at a folder. Every bulk OUT transfer the host sends is handed to
// the emulator as it arrived; whatever reply that queues goes back as one IN
// transfer, which the device controller cuts into packets of the endpoint's
// packet size. When the gadget is unbound (the cable pulled) the emulator is
// unplugged, so a reply still waiting is lost and the ports go back to their
// power-on values; binding it again plugs it in.
class TFunctionFsCable {
public:
  TFunctionFsCable(TCableEmulator& Cable, std::string FunctionFsDir);
  ~TFunctionFsCable();
  TFunctionFsCable(const TFunctionFsCable&) = delete;
  TFunctionFsCable& operator=(const TFunctionFsCable&) = delete;

  // Writes the descriptors and opens the endpoints. False with a text for
  // the user when FunctionFS is not there or refuses them.
  bool Start(std::string& Error);
  // Test control: each reply goes out in IN transfers of at most Bytes
  // (0: the whole reply in one), as a firmware that sends what it has read so
  // far would. A piece that is no whole number of packets ends its transfer
  // with a short packet, so the host sees one reply come in several transfers.
  void SplitReplies(size_t Bytes) { FSplit = Bytes; }

  // Serves the host until the process ends; returns only on an error that
  // leaves the function unusable, with Error set.
  void Serve(std::string& Error);

private:
  void WatchEvents();
  void Answer();

  TCableEmulator& FCable;
  std::string FDir;
  int FControl = -1;
  int FOut = -1;
  int FIn = -1;
  std::atomic<unsigned> FPacketSize{512};
  size_t FSplit = 0;
};
