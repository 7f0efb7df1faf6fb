#pragma once
// Shared bookkeeping of the user-mode kernel layer (one per process).
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
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
};

struct TKitPoolBlock {
  SIZE_T Bytes;
  POOL_TYPE Type;
};

struct TKitInterface {
  GUID Class;
  PDEVICE_OBJECT Device;
  bool Enabled;
};

struct TKitState {
  std::mutex Mutex;                          // everything below but the events
  std::vector<std::string> Faults;
  std::map<void*, TKitPoolBlock> Pool;
  std::set<void*> SystemBuffers;
  std::map<PIRP, TKitIrpInfo> Irps;
  std::set<PDEVICE_OBJECT> Devices;
  std::set<PMDL> Mdls;
  std::vector<std::pair<std::u16string, TKitInterface>> Interfaces;
  std::map<const void*, ULONG> Deliveries;
  long PoolAllowance = -1;
  long IrpAllowance = -1;
  NTSTATUS CreateDeviceFailure = 0;
  NTSTATUS RegisterInterfaceFailure = 0;
  long PowerStarted = 0;
  long PowerRequested = 0;
  NTSTATUS PowerRequestFailure = 0;

  std::mutex EventMutex;                     // dispatcher objects
  std::condition_variable EventChanged;
  std::map<const void*, int> Waiters;
};

TKitState& KitState();
