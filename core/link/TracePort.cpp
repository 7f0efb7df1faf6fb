// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/TracePort.h"

#include <cerrno>
#include <cstring>

TTracePort::TTracePort(std::unique_ptr<TLinkPort> Inner, const std::string& File)
    : FInner(std::move(Inner)), FFileName(File) {
  FFile = std::fopen(File.c_str(), "w");
  if (!FFile) FError = "Cannot create the trace file " + File + ": " + std::strerror(errno);
}

TTracePort::~TTracePort() {
  if (FFile) std::fclose(FFile);
}

std::string TTracePort::FormatLine(bool In, long Result, const uint8_t* Data, int Error) {
  static const char Digits[] = "0123456789abcdef";
  std::string Line = In ? "IN " : "OUT ";
  Line += std::to_string(Result);
  if (Result < 0) return Line + " error " + std::to_string(Error);
  if (Result == 0) return Line;
  Line += ' ';
  Line.reserve(Line.size() + 2 * static_cast<size_t>(Result));
  for (long I = 0; I < Result; ++I) {
    Line += Digits[Data[I] >> 4];
    Line += Digits[Data[I] & 0x0F];
  }
  return Line;
}

void TTracePort::Trace(bool In, long Result, const uint8_t* Data) {
  if (!FFile) return;
  std::string Line = FormatLine(In, Result, Data, Result < 0 ? FInner->LastError() : 0);
  Line += '\n';
  const bool Written = std::fwrite(Line.data(), 1, Line.size(), FFile) == Line.size();
  if ((!Written || std::fflush(FFile) != 0) && FWriteError.empty())
    FWriteError = "The trace file " + FFileName + " could not be written (" + std::strerror(errno) +
                  "): the trace is incomplete.";
}

intptr_t TTracePort::Open() { return FInner->Open(); }

std::string TTracePort::OpenFailureDetail() const { return FInner->OpenFailureDetail(); }

void TTracePort::Close() { FInner->Close(); }

long TTracePort::Write(const uint8_t* Data, size_t Count) {
  long Result = FInner->Write(Data, Count);
  Trace(false, Result, Data);
  return Result;
}

long TTracePort::Read(uint8_t* Data, size_t Count) {
  long Result = FInner->Read(Data, Count);
  Trace(true, Result, Data);
  return Result;
}

int TTracePort::LastError() const { return FInner->LastError(); }

void TTracePort::SetDeviceChangeHandler(std::function<void()> Handler) {
  FInner->SetDeviceChangeHandler(std::move(Handler));
}

void TTracePort::PollDeviceEvents() { FInner->PollDeviceEvents(); }

std::string TTracePort::Describe() const { return FInner->Describe() + ", traced to " + FFileName; }

bool TTracePort::Start(const uint8_t* Data, size_t Count) {
  if (!FInner->AsyncWrites()->Start(Data, Count)) {
    Trace(false, -1, Data);
    return false;
  }
  FStarted.emplace_back(Data, Data + Count);
  return true;
}

long TTracePort::FinishOldest() {
  const long Result = FInner->AsyncWrites()->FinishOldest();
  if (FStarted.empty()) return Result;
  Trace(false, Result, FStarted.front().data());
  FStarted.pop_front();
  return Result;
}

void TTracePort::CancelAll() {
  FInner->AsyncWrites()->CancelAll();
  FStarted.clear();
}
