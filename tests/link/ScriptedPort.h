// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "core/link/LinkPort.h"
#include "core/link/PlatformErrors.h"

// A port that records every write and answers reads from a queue of
// replies; an empty queue or a refused write fails with a chosen error.
class TScriptedPort : public TLinkPort {
public:
  std::vector<std::vector<uint8_t>> Writes;
  std::deque<std::vector<uint8_t>> Replies;
  std::vector<size_t> ReadSizes;
  bool Opened = false;
  bool AcceptWrites = true;
  intptr_t OpenResult = 0x1234;
  std::string FailureDetail;           // what a failed Open says beyond its error
  int Error = kErrIo;
  int Closes = 0;

  intptr_t Open() override {
    Opened = OpenResult != -1;
    return OpenResult;
  }
  void Close() override {
    Opened = false;
    ++Closes;
  }
  long Write(const uint8_t* Data, size_t Count) override {
    Writes.emplace_back(Data, Data + Count);
    if (!AcceptWrites) {
      FLastError = Error;
      return -1;
    }
    return static_cast<long>(Count);
  }
  long Read(uint8_t* Data, size_t Count) override {
    ReadSizes.push_back(Count);
    if (Replies.empty()) {
      FLastError = Error;
      return -1;
    }
    std::vector<uint8_t> Reply = std::move(Replies.front());
    Replies.pop_front();
    const size_t Moved = Reply.size() < Count ? Reply.size() : Count;
    for (size_t I = 0; I < Moved; ++I) Data[I] = Reply[I];
    return static_cast<long>(Moved);
  }
  int LastError() const override { return FLastError; }
  std::string OpenFailureDetail() const override { return OpenResult == -1 ? FailureDetail : std::string(); }
  std::string Describe() const override { return "scripted"; }

private:
  int FLastError = 0;
};
