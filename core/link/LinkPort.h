// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class TFrontEnd;

// One way to reach the cable. Every Write is one bulk OUT transfer and every
// Read one bulk IN transfer of up to Count bytes; both return the number of
// bytes moved, or -1 with LastError() holding the platform's error number.
class TLinkPort {
public:
  virtual ~TLinkPort() = default;

  // Opens the first cable present. Returns a handle value that is never 0 or
  // -1 on success, and -1 when no cable could be opened. The front end is
  // passed for the one case that changes the window caption.
  virtual intptr_t Open(TFrontEnd& FrontEnd) = 0;
  virtual void Close() = 0;

  virtual long Write(const uint8_t* Data, size_t Count) = 0;
  virtual long Read(uint8_t* Data, size_t Count) = 0;
  virtual int LastError() const = 0;

  // Device arrival and removal. The handler runs on the front end's thread,
  // from inside PollDeviceEvents (which the front end calls from its idle or
  // timer processing); ports without notifications never call it.
  virtual void SetDeviceChangeHandler(std::function<void()> Handler) { (void)Handler; }
  virtual void PollDeviceEvents() {}

  virtual std::string Describe() const = 0;
};
