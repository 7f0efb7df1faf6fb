#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "core/link/LinkPort.h"

// A transport that writes every transfer of the transport it wraps as one
// text line, flushed at once so that a killed program leaves a whole trace:
//   OUT <decimal length> <hex bytes>      bytes taken by a write
//   IN <decimal length> <hex bytes>       bytes returned by a read
// in lower-case hex without spaces; a transfer that moved no bytes has no hex
// part ("IN 0"). A failed transfer is written as "OUT -1 error <n>" or
// "IN -1 error <n>", n being the error number the transport reported.
class TTracePort : public TLinkPort {
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

  intptr_t Open(TFrontEnd& FrontEnd) override;
  void Close() override;
  long Write(const uint8_t* Data, size_t Count) override;
  long Read(uint8_t* Data, size_t Count) override;
  int LastError() const override;
  void SetDeviceChangeHandler(std::function<void()> Handler) override;
  void PollDeviceEvents() override;
  std::string Describe() const override;

  // One trace line, without its line end.
  static std::string FormatLine(bool In, long Result, const uint8_t* Data, int Error);

private:
  void Trace(bool In, long Result, const uint8_t* Data);

  std::unique_ptr<TLinkPort> FInner;
  std::string FFileName;
  std::FILE* FFile = nullptr;
  std::string FError;
  std::string FWriteError;
};
