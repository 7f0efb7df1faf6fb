// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Bulk OUT transfers kept in flight on one port: started one after another,
// they reach the cable in the order started and end in that order, while the
// program goes on. A transfer the cable is still busy with holds its data in
// the port (a copy), so the caller's buffer is free at once.
class TAsyncWrites {
public:
  virtual ~TAsyncWrites() = default;
  // How many transfers this port can keep under way at once.
  virtual unsigned MaxInFlight() const = 0;
  // Starts one bulk OUT transfer of Count bytes. False, with the port's
  // LastError() set, when it could not be started; nothing is started then.
  virtual bool Start(const uint8_t* Data, size_t Count) = 0;
  // Waits for the oldest transfer started and not yet finished to end: the
  // bytes it moved, or -1 with the port's LastError() holding its error.
  virtual long FinishOldest() = 0;
  // Cancels every transfer in flight and waits until each has ended, whether
  // it completed or was cancelled: none is in flight on return.
  virtual void CancelAll() = 0;
  virtual size_t InFlight() const = 0;
};

// One way to reach the cable. Every Write is one bulk OUT transfer and every
// Read one bulk IN transfer of up to Count bytes; both return the number of
// bytes moved, or -1 with LastError() holding the platform's error number.
class TLinkPort {
public:
  virtual ~TLinkPort() = default;

  // Opens the first cable present. Returns a handle value that is never 0 or
  // -1 on success, and -1 when no cable could be opened.
  virtual intptr_t Open() = 0;
  // What the last Open found beyond its error number when it failed, for
  // whoever shows the failure (the Windows port: the device-detail query's
  // error and the size it asked for, "error,size"). Empty when the last Open
  // succeeded or had nothing more to say.
  virtual std::string OpenFailureDetail() const { return {}; }
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

  // Ports that can keep several writes in flight hand out their way to do
  // it; the others (nullptr) take one transfer at a time through Write. A
  // synchronous Write or Read on a port with writes in flight goes out after
  // them, so the order on the wire stays the order sent.
  virtual TAsyncWrites* AsyncWrites() { return nullptr; }
  // How many write packets the program keeps in flight on this port when it
  // can (the user's choice from the command line; 0: the program's default).
  void SetWriteDepth(unsigned Depth) { FWriteDepth = Depth; }
  unsigned WriteDepth() const { return FWriteDepth; }

  // A port over a modelled cable: how long the cable has taken so far, in
  // simulated nanoseconds since the port was made. Ports to a real cable
  // have no such clock (-1).
  virtual int64_t SimulatedNanoseconds() const { return -1; }

private:
  unsigned FWriteDepth = 0;
};
