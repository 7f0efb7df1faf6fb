// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The USB hub port the cable is plugged into, as the driver below Bridgewick:
// the physical device object it attaches to. It answers the hub's internal
// requests (port status, port reset, URBs) and carries bulk transfers to and
// from whatever sits at the end of the cable.
#include <wdm.h>
#include <usbdi.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The device's function behind the endpoints; thread-safe.
class TUsbFunction {
public:
  virtual ~TUsbFunction() = default;
  // One transfer each; the bytes moved, or -1 on failure.
  virtual long BulkOut(UCHAR Endpoint, const uint8_t* Data, size_t Count) = 0;
  virtual long BulkIn(UCHAR Endpoint, uint8_t* Data, size_t Count) = 0;
  // A bulk IN now would be answered; without it the real device would leave
  // the transfer waiting, and so does the bus.
  virtual bool ReplyPending() const = 0;
  // False once the device has dropped off the bus by itself.
  virtual bool Plugged() const { return true; }
  // The bus tells the device the cable was pulled.
  virtual void Unplugged() {}
};

// One internal request as the bus saw it.
struct TUsbRequest {
  ULONG IoControlCode = 0;
  USHORT UrbFunction = 0;
  UCHAR Endpoint = 0;             // bulk transfers
  ULONG TransferFlags = 0;
  ULONG RequestedLength = 0;
  ULONG MovedLength = 0;
  bool NullBuffer = false;
  UCHAR DescriptorType = 0;       // descriptor requests
  NTSTATUS Status = STATUS_SUCCESS;
};

// One power request as it reached the bus.
struct TPowerRequest {
  PIRP Irp;
  UCHAR MinorFunction;
  POWER_STATE_TYPE Type;
  POWER_STATE State;
  POWER_ACTION ShutdownType;
  ULONG SystemContext;
};

class TUsbBus {
public:
  enum class TCompletion { AtOnce, Later };

  struct TConfig {
    bool Connected = true;
    bool Enabled = true;
    bool EnabledAfterReset = true;
    NTSTATUS PortStatusResult = STATUS_SUCCESS;
    std::vector<uint8_t> ConfigurationDescriptor = CableConfiguration();
    USBD_STATUS DescriptorUsbdStatus = USBD_STATUS_SUCCESS;
    USBD_STATUS SelectUsbdStatus = USBD_STATUS_SUCCESS;
    NTSTATUS StartStatus = STATUS_SUCCESS;
    // Later: URBs and the start request complete from the bus's own thread;
    // bulk transfers are carried out in the order they came, but while more
    // are queued their completions are held and then delivered last first,
    // as a host controller finishing several at once may.
    TCompletion Completion = TCompletion::AtOnce;
    // Capabilities: the device state in each sleeping system state, and the
    // deepest state from which the device can wake the system.
    DEVICE_POWER_STATE SleepingDeviceState = PowerDeviceD3;
    DEVICE_POWER_STATE DeviceWake = PowerDeviceUnspecified;
    // The port's instance path; a number of its own when empty.
    std::u16string InstancePath{};
    // A bus that hears of a pull only through Plug and Play: the transfers
    // waiting at the pull and those sent after it stay pending, beyond the
    // reach of a cancel, until the port's own surprise removal or removal
    // fails them with STATUS_DELETE_PENDING. A driver that waits for its
    // transfers before handing the removal down never sees them end.
    bool HoldsTransfersAfterPull = false;
  };

  // The cable's configuration: one vendor interface with bulk OUT 0x02, bulk
  // IN 0x81 and interrupt IN 0x83, 39 bytes in all.
  static std::vector<uint8_t> CableConfiguration();
  // A configuration of one interface with the endpoints given (address,
  // attributes), e.g. {{0x82, 2}, {0x02, 2}}.
  static std::vector<uint8_t> Configuration(const std::vector<std::pair<UCHAR, UCHAR>>& Endpoints);

  explicit TUsbBus(TUsbFunction& Function);
  TUsbBus(TUsbFunction& Function, TConfig Config);
  ~TUsbBus();
  TUsbBus(const TUsbBus&) = delete;
  TUsbBus& operator=(const TUsbBus&) = delete;

  PDEVICE_OBJECT PhysicalDevice() const { return FPdo; }

  // The device is going away: attaching on it yields no device.
  void SetDeletePending(bool Pending);
  // The cable is pulled: waiting transfers fail, later ones fail at once.
  void Unplug();
  bool Plugged() const;
  // The function may have data now: waiting bulk IN transfers look again.
  void ServicePending();
  // Bulk IN transfers held until the function answers.
  size_t WaitingTransfers() const;
  // With HoldsTransfersAfterPull: the transfers kept since the pull, and a
  // way to fail them without a removal (so a test can end after a hang).
  size_t HeldAfterPull() const;
  void FailHeldAfterPull();
  // With TCompletion::Later: while held, finished bulk transfers are not
  // completed; releasing completes them last first.
  void HoldCompletions();
  void ReleaseCompletions();
  size_t HeldCompletions() const;

  std::vector<TUsbRequest> Requests() const;
  std::vector<TUsbRequest> Transfers() const;   // bulk transfers only
  std::vector<TPowerRequest> PowerRequests() const;
  std::vector<UCHAR> PnpRequests() const;
  int PortStatusQueries() const;
  int PortResets() const;
  int SystemControlRequests() const;

private:
  struct TJob {
    PIRP Irp;
    bool CompleteOnly;   // the work is done; only the completion is left
  };

  static NTSTATUS NTAPI DispatchInternal(PDEVICE_OBJECT Device, PIRP Irp);
  static NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT Device, PIRP Irp);
  static NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT Device, PIRP Irp);
  static NTSTATUS NTAPI DispatchOther(PDEVICE_OBJECT Device, PIRP Irp);
  static NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT Device, PIRP Irp);
  static void NTAPI CancelWaiting(PDEVICE_OBJECT Device, PIRP Irp);
  static TUsbBus& Of(PDEVICE_OBJECT Device);
  // Takes the first waiting transfer that is not being cancelled; FMutex held.
  PIRP TakeWaiting();

  NTSTATUS SubmitUrb(PIRP Irp, PURB Urb);
  void GetDescriptor(PURB Urb);
  void SelectConfiguration(PURB Urb);
  // Carries out a bulk transfer and completes it; STATUS_PENDING when a bulk
  // IN has to wait for the device (the request is then held).
  // Deferred: the completion joins the finished ones instead of running.
  NTSTATUS Transfer(PIRP Irp, PURB Urb, bool Deferred = false);
  // A bulk IN as USB carries it: packets of the endpoint's size until one
  // comes short or the buffer is full. A packet larger than the room left
  // overruns: it is lost and the transfer fails. -1 if the first packet
  // could not be had.
  long ReceivePackets(UCHAR Endpoint, USHORT PacketSize, uint8_t* Buffer, ULONG Length, bool* Overrun);
  // Completes every finished transfer, last first; FMutex held on entry and
  // on return.
  void FlushFinished(std::unique_lock<std::mutex>& Lock);
  void CompleteUrb(PIRP Irp, PURB Urb, NTSTATUS Status, USBD_STATUS UsbdStatus);
  void Queue(PIRP Irp, bool CompleteOnly);
  void Worker();
  void Log(const TUsbRequest& Request);
  const uint8_t* PipeEndpoint(USBD_PIPE_HANDLE Pipe) const;

  TUsbFunction& FFunction;
  TConfig FConfig;
  PDRIVER_OBJECT FDriver = nullptr;
  PDEVICE_OBJECT FPdo = nullptr;

  mutable std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<TJob> FJobs;
  std::deque<PIRP> FWaiting;       // bulk IN transfers held for an answer
  PIRP FRetrying = nullptr;        // the held transfer the bus is looking at again
  std::vector<PIRP> FAfterPull;    // kept since the pull until a removal
  std::vector<PIRP> FFinished;     // done, completion not yet delivered
  bool FHold = false;
  bool FPlugged = true;
  bool FStopping = false;
  bool FLookAgain = false;
  bool FConfigured = false;
  uint8_t FPipes[32] = {};         // endpoint address per pipe; a pipe handle points into this
  USHORT FPacketSizes[32] = {};    // the endpoint's largest packet, per pipe
  size_t FPipeCount = 0;
  uint8_t FConfigurationHandle = 0;
  uint8_t FInterfaceHandle = 0;
  std::vector<TUsbRequest> FRequests;
  std::vector<TPowerRequest> FPower;
  std::vector<UCHAR> FPnp;
  int FPortQueries = 0;
  int FPortResets = 0;
  int FSystemControls = 0;
  std::thread FThread;
};
