// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bridgewick (either build) loaded on the user-mode kernel layer: a Plug and
// Play manager with the driver, one hub port (the bus) and, behind it, a
// cable whose replies the test scripts. Every test ends with the layer's
// checks: no kernel misuse seen, no pool, request or device object left
// behind.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The same rig serves both builds; each test program is built for one.
#ifdef FQ_BRIDGEWICK_X86
#include "driver/x86/Bridgewick.h"
#else
#include "driver/Bridgewick.h"
#endif
#include "driver/kit/IoManager.h"
#include "driver/kit/Kit.h"
#include "driver/kit/PnpManager.h"
#include "driver/kit/UsbBus.h"

// A cable that records what it is sent and answers bulk IN with the replies
// queued by the test, in order. The bus takes them a packet at a time, so a
// reply that does not fit a transfer stays for the next one, or overruns a
// transfer too short for its next packet.
class TScriptedCable : public TUsbFunction {
public:
  void QueueReply(std::vector<uint8_t> Reply) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FReplies.push_back(std::move(Reply));
  }
  std::vector<std::vector<uint8_t>> Written() const {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FWritten;
  }

  long BulkOut(UCHAR, const uint8_t* Data, size_t Count) override {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (!FPlugged) return -1;
    FWritten.emplace_back(Data, Data + Count);
    return long(Count);
  }
  long BulkIn(UCHAR, uint8_t* Data, size_t Count) override {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (!FPlugged || FReplies.empty()) return -1;
    std::vector<uint8_t>& Reply = FReplies.front();
    size_t Bytes = Reply.size() - FSent < Count ? Reply.size() - FSent : Count;
    std::copy(Reply.begin() + long(FSent), Reply.begin() + long(FSent + Bytes), Data);
    FSent += Bytes;
    if (FSent == Reply.size()) {
      FReplies.pop_front();
      FSent = 0;
    }
    return long(Bytes);
  }
  bool ReplyPending() const override {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FPlugged && !FReplies.empty();
  }
  bool Plugged() const override {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FPlugged;
  }
  void Unplugged() override {
    std::lock_guard<std::mutex> Lock(FMutex);
    FPlugged = false;
  }

private:
  mutable std::mutex FMutex;
  std::deque<std::vector<uint8_t>> FReplies;
  size_t FSent = 0;   // bytes of the first reply already sent
  std::vector<std::vector<uint8_t>> FWritten;
  bool FPlugged = true;
};

struct TDriverRig {
  explicit TDriverRig(TUsbBus::TConfig Config = {}) : Bus(Cable, std::move(Config)), Pnp(DriverEntry) {}

  TScriptedCable Cable;
  TUsbBus Bus;
  TPnpManager Pnp;

  PDEVICE_EXTENSION Extension() {
    PDEVICE_OBJECT Device = Pnp.FunctionDevice(Bus);
    return Device ? static_cast<PDEVICE_EXTENSION>(Device->DeviceExtension) : nullptr;
  }
  // The interface the driver registered on this rig's port, enabled or not.
  std::u16string Link() const {
    for (auto& Link : TKit::InterfaceLinks(LinkInterfaceClass, false))
      if (TKit::InterfaceDevice(Link) == Bus.PhysicalDevice()) return Link;
    return std::u16string();
  }
  bool InterfaceEnabled() const { return TKit::InterfaceEnabled(Link()); }
  LONG IoCount() { return __atomic_load_n(&Extension()->IoCount, __ATOMIC_SEQ_CST); }
  LONG OpenHandles() { return __atomic_load_n(&Extension()->OpenHandles, __ATOMIC_SEQ_CST); }

  void AddAndStart() {
    ASSERT_EQ(Pnp.AddDevice(Bus), STATUS_SUCCESS);
    ASSERT_EQ(Pnp.Start(Bus), STATUS_SUCCESS);
  }
  // Opens the stack by the port's device name, which reaches the driver
  // whether or not its interface is enabled.
  NTSTATUS OpenDevice(TIoFile** File) { return TIoManager::OpenDevice(Bus.PhysicalDevice(), File); }
  NTSTATUS Open(TIoFile** File) { return TIoManager::Open(Link(), File); }

  NTSTATUS Write(TIoFile* File, const std::vector<uint8_t>& Data, ULONG_PTR* Moved = nullptr) {
    ULONG_PTR Bytes = 0;
    NTSTATUS Status = TIoManager::Write(File, Data.data(), ULONG(Data.size()), &Bytes);
    if (Moved) *Moved = Bytes;
    return Status;
  }
  NTSTATUS Read(TIoFile* File, std::vector<uint8_t>& Data, ULONG_PTR* Moved = nullptr) {
    ULONG_PTR Bytes = 0;
    NTSTATUS Status = TIoManager::Read(File, Data.data(), ULONG(Data.size()), &Bytes);
    if (Moved) *Moved = Bytes;
    return Status;
  }
};

// A bus configuration for one completion mode, for rigs a test builds itself.
inline TUsbBus::TConfig ConfigFor(TUsbBus::TCompletion Completion) {
  TUsbBus::TConfig Config;
  Config.Completion = Completion;
  return Config;
}

// Waits for a condition another thread brings about; fails after a generous
// limit instead of hanging the suite.
inline bool WaitUntil(const std::function<bool()>& Condition) {
  auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!Condition()) {
    if (std::chrono::steady_clock::now() > Limit) return false;
    std::this_thread::yield();
  }
  return true;
}

// The last stage of a staged request gives its reference back just after
// completing the caller's request, so the count settles a moment later.
inline bool IdleAgain(TDriverRig& Rig) {
  return WaitUntil([&] { return Rig.IoCount() == 1; });
}

// The layer's checks after every test. Rig() is built on first use, with the
// completion mode the test runs in.
class DriverTest : public ::testing::TestWithParam<TUsbBus::TCompletion> {
protected:
  void SetUp() override { TKit::ClearFaults(); }
  void TearDown() override {
    TKit::FailPoolAfter(-1);
    TKit::FailIrpAllocations(false);
    TKit::FailCreateDevice(STATUS_SUCCESS);
    TKit::FailRegisterInterface(STATUS_SUCCESS);
    FRig.reset();
    TKit::WaitForPowerRequests();
    EXPECT_EQ(TKit::Faults(), std::vector<std::string>{});
    EXPECT_EQ(TKit::PoolBlocksInUse(), 0u) << "pool left allocated";
    EXPECT_EQ(TKit::IrpsInUse(), 0u) << "requests left allocated";
    EXPECT_EQ(TKit::DevicesInUse(), 0u) << "device objects left";
  }

  TDriverRig& Rig(TUsbBus::TConfig Config = {}) {
    if (!FRig) {
      Config.Completion = GetParam();
      FRig = std::make_unique<TDriverRig>(std::move(Config));
    }
    return *FRig;
  }

private:
  std::unique_ptr<TDriverRig> FRig;
};

inline std::string CompletionName(const ::testing::TestParamInfo<TUsbBus::TCompletion>& Info) {
  return Info.param == TUsbBus::TCompletion::AtOnce ? "CompletedAtOnce" : "CompletedLater";
}

#define FQ_DRIVER_TEST_MODES(Suite)                                                                          \
  INSTANTIATE_TEST_SUITE_P(BothCompletions, Suite,                                                          \
                           ::testing::Values(TUsbBus::TCompletion::AtOnce, TUsbBus::TCompletion::Later), \
                           CompletionName)
