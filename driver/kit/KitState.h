// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared bookkeeping of the user-mode kernel layer (one per process).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/kit/Kit.h"

struct _KIT_DEVICE_NODE {
  PDEVICE_OBJECT AttachedTo = nullptr;   // the device this one is attached on top of
  bool Physical = false;
  bool DeletePending = false;
  bool Deleted = false;
  long OpenFiles = 0;
  std::u16string InstancePath;
};

struct TKitIrpInfo {
  bool Threaded = false;
  ULONG OutputLength = 0;
  unsigned long long Serial = 0;   // tells a request from a later one at the same address
  bool KeptAfterCompletion = false;  // freed by the I/O manager's waiter, not at completion
  bool Finished = false;             // completed all the way up
};

// What one stack location of a request saw: the status its dispatch routine
// returned, and whether the location was marked pending when completion
// passed it. The two must agree: STATUS_PENDING exactly when marked.
struct TKitPendingRecord {
  int Depth = 0;            // dispatch calls on the location still running (a skipped location is shared)
  UCHAR MajorFunction = 0;
  bool Returned = false;
  NTSTATUS Status = 0;
  bool Completed = false;
  bool Marked = false;
  // The location came already marked: a driver that pended the request and
  // later passed it on with its own location skipped. What the routine
  // below returns then goes to that driver, not to the I/O manager.
  bool Inherited = false;
};

struct TKitPoolBlock {
  SIZE_T Bytes;
  POOL_TYPE Type;
  ULONG Tag;
  bool Tagged;   // from ExAllocatePoolWithTag
};

// Memory the driver gave back, kept poisoned for a while before it really
// goes, so that a late read finds the poison (not a block reused since) and
// a copy from or into it is caught.
struct TKitFreedRegion {
  size_t Bytes;
  bool SystemBuffer;   // else pool
};

struct TKitInterface {
  GUID Class;
  PDEVICE_OBJECT Device;
  bool Enabled;
};

struct TKitState {
  // Gives the freed memory still kept back to the C library, so that a leak
  // check at exit sees nothing of it.
  ~TKitState();

  std::mutex Mutex;                          // everything below but the events
  std::vector<std::string> Faults;
  std::map<void*, TKitPoolBlock> Pool;
  std::map<void*, size_t> SystemBuffers;
  std::map<PIRP, TKitIrpInfo> Irps;
  unsigned long long IrpSerial = 0;
  std::map<std::pair<unsigned long long, int>, TKitPendingRecord> PendingRecords;
  std::set<PDEVICE_OBJECT> Devices;
  std::set<PMDL> Mdls;
  std::vector<std::pair<std::u16string, TKitInterface>> Interfaces;
  std::map<const void*, ULONG> Deliveries;
  std::map<const uint8_t*, TKitFreedRegion> Freed;   // by start; regions never overlap
  std::deque<const uint8_t*> FreedOrder;             // oldest first
  size_t FreedBytes = 0;
  // A test's routine run once, before a copy out of the given block.
  const uint8_t* CopyWatchStart = nullptr;
  size_t CopyWatchBytes = 0;
  std::function<void()> CopyWatch;
  long PoolAllowance = -1;
  long IrpAllowance = -1;
  NTSTATUS CreateDeviceFailure = 0;
  NTSTATUS RegisterInterfaceFailure = 0;
  long PowerStarted = 0;
  long PowerRequested = 0;
  NTSTATUS PowerRequestFailure = 0;
  std::vector<std::thread> PowerWorkers;     // PoRequestPowerIrp's requests in flight

  KSPIN_LOCK CancelSpinLock = 0;

  std::mutex EventMutex;                     // dispatcher objects
  std::condition_variable EventChanged;
  std::map<const void*, int> Waiters;
};

TKitState& KitState();
