// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's transport through Bridgewick on the user-mode kernel layer:
// the first enabled interface of the cable's class is opened through the
// I/O manager, and every Write and Read is one request to the driver, as
// WriteFile and ReadFile on the real handle would be.
#include <cstdint>
#include <string>

#include "core/link/LinkPort.h"

struct TIoFile;

class TDriverLinkPort : public TLinkPort {
public:
  TDriverLinkPort() = default;
  ~TDriverLinkPort() override;

  intptr_t Open() override;
  void Close() override;
  long Write(const uint8_t* Data, size_t Count) override;
  long Read(uint8_t* Data, size_t Count) override;
  int LastError() const override { return FLastError; }
  std::string Describe() const override;

  // The Windows error number a failed request would leave for GetLastError.
  static int ErrorOf(int32_t Status);

private:
  template <typename TRequest>
  long Transfer(size_t Count, TRequest Request);
  TIoFile* FFile = nullptr;
  int FLastError = 0;
};
