// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/link/LinkPort.h"

// A transport that writes every transfer of the transport it wraps as one
// text line, flushed at once so that a killed program leaves a whole trace:
//   OUT <decimal length> <hex bytes>      bytes taken by a write
//   IN <decimal length> <hex bytes>       bytes returned by a read
// in lower-case hex without spaces; a transfer that moved no bytes has no hex
// part ("IN 0"). A failed transfer is written as "OUT -1 error <n>" or
// "IN -1 error <n>", n being the error number the transport reported.
// Writes kept in flight are written when they end, in the order they went
// out; one cancelled before it ended moved nothing and has no line.
class TTracePort : public TLinkPort, private TAsyncWrites {
public:
  // Starts a new trace in File (an existing file is replaced). Check Ok()
  // afterwards; Error() then tells why the file could not be created.
  TTracePort(std::unique_ptr<TLinkPort> Inner, const std::string& File);
  ~TTracePort() override;
  TTracePort(const TTracePort&) = delete;
  TTracePort& operator=(const TTracePort&) = delete;

  bool Ok() const { return FFile != nullptr; }
  const std::string& Error() const { return FError; }
  // Set at the first line that could not be written (a full disk, a file
  // such as /dev/full): the trace is incomplete from there on. Empty while
  // every line went out.
  const std::string& WriteError() const { return FWriteError; }
  TLinkPort& Inner() { return *FInner; }

  intptr_t Open() override;
  std::string OpenFailureDetail() const override;
  void Close() override;
  long Write(const uint8_t* Data, size_t Count) override;
  long Read(uint8_t* Data, size_t Count) override;
  int LastError() const override;
  void SetDeviceChangeHandler(std::function<void()> Handler) override;
  void PollDeviceEvents() override;
  std::string Describe() const override;
  TAsyncWrites* AsyncWrites() override { return FInner->AsyncWrites() ? this : nullptr; }
  int64_t SimulatedNanoseconds() const override { return FInner->SimulatedNanoseconds(); }

  // One trace line, without its line end.
  static std::string FormatLine(bool In, long Result, const uint8_t* Data, int Error);

private:
  void Trace(bool In, long Result, const uint8_t* Data);

  unsigned MaxInFlight() const override { return FInner->AsyncWrites()->MaxInFlight(); }
  bool Start(const uint8_t* Data, size_t Count) override;
  long FinishOldest() override;
  void CancelAll() override;
  size_t InFlight() const override { return FStarted.size(); }

  std::deque<std::vector<uint8_t>> FStarted;   // the bytes of the writes in flight

  std::unique_ptr<TLinkPort> FInner;
  std::string FFileName;
  std::FILE* FFile = nullptr;
  std::string FError;
  std::string FWriteError;
};
