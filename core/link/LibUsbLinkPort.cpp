// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/LibUsbLinkPort.h"

#include <climits>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <libusb.h>

#include "core/link/KernelUsbEvents.h"
#include "core/link/LibUsbErrors.h"
#include "core/link/PlatformErrors.h"

namespace {

// The cable's endpoints; used only when its descriptors name none.
constexpr unsigned char BulkOutEndpoint = 0x02;
constexpr unsigned char BulkInEndpoint = 0x81;
constexpr int LinkInterface = 0;
constexpr unsigned NoTimeout = 0;   // the link waits until the cable answers
// A reply cut into several transfers comes in one go from the cable; the
// rest of it is waited for this long once its first part has arrived.
constexpr unsigned RestOfReplyTimeoutMs = 2000;

struct TEndpoints {
  unsigned char Out = BulkOutEndpoint;
  unsigned char In = BulkInEndpoint;
  bool Found = false;
};

// The first bulk OUT and bulk IN endpoint of the link's interface, as the
// device's active configuration describes them.
TEndpoints FindEndpoints(libusb_device* Device) {
  TEndpoints Result;
  libusb_config_descriptor* Config = nullptr;
  if (libusb_get_active_config_descriptor(Device, &Config) != LIBUSB_SUCCESS || !Config) return Result;
  bool HaveOut = false, HaveIn = false;
  if (Config->bNumInterfaces > LinkInterface && Config->interface[LinkInterface].num_altsetting > 0) {
    const libusb_interface_descriptor& Interface = Config->interface[LinkInterface].altsetting[0];
    for (int I = 0; I < Interface.bNumEndpoints; ++I) {
      const libusb_endpoint_descriptor& Endpoint = Interface.endpoint[I];
      if ((Endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      const bool In = (Endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
      if (In && !HaveIn) {
        Result.In = Endpoint.bEndpointAddress;
        HaveIn = true;
      } else if (!In && !HaveOut) {
        Result.Out = Endpoint.bEndpointAddress;
        HaveOut = true;
      }
    }
  }
  libusb_free_config_descriptor(Config);
  Result.Found = HaveOut && HaveIn;
  return Result;
}

// What a user can do about an open that failed on a cable that is there.
std::string OpenFailureAdvice(int LibUsbError) {
  switch (LibUsbError) {
  case LIBUSB_ERROR_ACCESS:
    return "no permission to open the cable: install the udev rule 60-bridgewick-cable.rules "
           "(the build leaves it in its udev/ folder) and plug the cable in again";
  case LIBUSB_ERROR_BUSY:
    return "the cable is in use by another program (or a kernel driver that cannot be detached); "
           "close it and try again";
  case LIBUSB_ERROR_NOT_FOUND:
    return "the cable shows no bulk OUT and bulk IN endpoint on its interface";
  default:
    return "";
  }
}

// The cable over libusb. Writes can be kept in flight as asynchronous bulk
// OUT transfers on the one OUT endpoint, which the kernel sends in the order
// submitted; the port waits for them, one after the other, in libusb's event
// handling on the caller's thread.
class TLibUsbLinkPort final : public TLinkPort, private TAsyncWrites {
public:
  TLibUsbLinkPort(uint16_t Vendor, uint16_t Product) : FVendor(Vendor), FProduct(Product) {
    const int Result = libusb_init(&FContext);
    if (Result != LIBUSB_SUCCESS) {
      FContext = nullptr;
      FInitError = Result;
    }
  }

  ~TLibUsbLinkPort() override {
    Close();
    CancelAll();
    if (FContext) {
      if (FHotplugRegistered) libusb_hotplug_deregister_callback(FContext, FHotplug);
      libusb_exit(FContext);
    }
  }

  intptr_t Open() override {
    Close();
    FAdvice.clear();
    // Without udev, libusb's device list stays as it was when libusb started;
    // a fresh start looks at the devices that are there now.
    if (FContext && !FHotplugRegistered && !TKernelUsbEvents::UdevRunning()) {
      libusb_exit(FContext);
      FContext = nullptr;
      const int Result = libusb_init(&FContext);
      if (Result != LIBUSB_SUCCESS) {
        FContext = nullptr;
        FInitError = Result;
      }
    }
    if (!FContext) return Fail(FInitError);

    libusb_device** List = nullptr;
    const ssize_t Count = libusb_get_device_list(FContext, &List);
    if (Count < 0) return Fail(static_cast<int>(Count));
    libusb_device* Found = nullptr;
    for (ssize_t I = 0; I < Count && !Found; ++I) {
      libusb_device_descriptor Descriptor{};
      if (libusb_get_device_descriptor(List[I], &Descriptor) == LIBUSB_SUCCESS && Descriptor.idVendor == FVendor &&
          Descriptor.idProduct == FProduct)
        Found = List[I];   // the first cable only; a second one is never looked at
    }
    libusb_device_handle* Handle = nullptr;
    const int OpenResult = Found ? libusb_open(Found, &Handle) : LIBUSB_ERROR_NO_DEVICE;
    const TEndpoints Endpoints = Found ? FindEndpoints(Found) : TEndpoints{};
    libusb_free_device_list(List, 1);
    if (OpenResult != LIBUSB_SUCCESS) return FailOpen(OpenResult);
    if (!Endpoints.Found) {
      libusb_close(Handle);
      return FailOpen(LIBUSB_ERROR_NOT_FOUND);
    }

    if (libusb_kernel_driver_active(Handle, LinkInterface) == 1) {
      const int Result = libusb_detach_kernel_driver(Handle, LinkInterface);
      if (Result != LIBUSB_SUCCESS) {
        libusb_close(Handle);
        return FailOpen(Result == LIBUSB_ERROR_ACCESS ? Result : LIBUSB_ERROR_BUSY);
      }
      FReattachKernelDriver = true;
    }
    const int Claim = libusb_claim_interface(Handle, LinkInterface);
    if (Claim != LIBUSB_SUCCESS) {
      if (FReattachKernelDriver) libusb_attach_kernel_driver(Handle, LinkInterface);
      FReattachKernelDriver = false;
      libusb_close(Handle);
      return FailOpen(Claim);
    }
    FHandle = Handle;
    FOutEndpoint = Endpoints.Out;
    FInEndpoint = Endpoints.In;
    FLastError = 0;
    return reinterpret_cast<intptr_t>(FHandle);
  }

  void Close() override {
    // No transfer may outlive the handle it was submitted on.
    CancelAll();
    if (!FHandle) return;
    libusb_release_interface(FHandle, LinkInterface);
    if (FReattachKernelDriver) libusb_attach_kernel_driver(FHandle, LinkInterface);
    FReattachKernelDriver = false;
    libusb_close(FHandle);
    FHandle = nullptr;
  }

  long Write(const uint8_t* Data, size_t Count) override {
    return Transfer(FOutEndpoint, const_cast<uint8_t*>(Data), Count, NoTimeout);
  }

  // One reply is read whole: the bytes of one bulk IN transfer, and when a
  // short packet ended it before Count bytes came, the transfers the cable
  // sends right after it, until Count bytes are in or the cable pauses.
  long Read(uint8_t* Data, size_t Count) override {
    long Moved = Transfer(FInEndpoint, Data, Count, NoTimeout);
    while (Moved > 0 && static_cast<size_t>(Moved) < Count) {
      const long More = Transfer(FInEndpoint, Data + Moved, Count - static_cast<size_t>(Moved), RestOfReplyTimeoutMs);
      if (More <= 0) break;
      Moved += More;
    }
    return Moved;
  }

  int LastError() const override { return FLastError; }

  void SetDeviceChangeHandler(std::function<void()> Handler) override {
    FHandler = std::move(Handler);
    if (!FContext || FHotplugRegistered || FKernelEvents || !FHandler) return;
    if (!TKernelUsbEvents::UdevRunning()) {
      FKernelEvents = std::make_unique<TKernelUsbEvents>();
      return;
    }
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) return;
    const int Result = libusb_hotplug_register_callback(
        FContext,
        static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
        LIBUSB_HOTPLUG_NO_FLAGS, FVendor, FProduct, LIBUSB_HOTPLUG_MATCH_ANY, &TLibUsbLinkPort::HotplugCallback, this,
        &FHotplug);
    FHotplugRegistered = Result == LIBUSB_SUCCESS;
  }

  void PollDeviceEvents() override {
    if (FKernelEvents && FKernelEvents->TakeDeviceChanges()) FChanged = true;
    if (FContext && FHotplugRegistered) {
      timeval Zero{0, 0};
      libusb_handle_events_timeout_completed(FContext, &Zero, nullptr);
    }
    // libusb's callback only notes the change; the handler runs here, out of
    // libusb's event handling, so it may close and reopen the port.
    if (FChanged) {
      FChanged = false;
      if (FHandler) FHandler();
    }
  }

  TAsyncWrites* AsyncWrites() override { return this; }

  std::string Describe() const override {
    char Text[64];
    std::snprintf(Text, sizeof Text, "USB %04x:%04x", FVendor, FProduct);
    return FAdvice.empty() ? std::string(Text) : std::string(Text) + "; " + FAdvice;
  }

private:
  // One asynchronous write: its own copy of the bytes, and the flag libusb's
  // event handling sets when it has ended.
  struct TWriteInFlight {
    libusb_transfer* Transfer = nullptr;
    std::vector<uint8_t> Bytes;
    int Ended = 0;
    ~TWriteInFlight() {
      if (Transfer) libusb_free_transfer(Transfer);
    }
  };

  static void LIBUSB_CALL WriteEnded(libusb_transfer* Transfer) {
    static_cast<TWriteInFlight*>(Transfer->user_data)->Ended = 1;
  }

  // A host controller queues far more; past this a caller gains nothing.
  unsigned MaxInFlight() const override { return 64; }

  bool Start(const uint8_t* Data, size_t Count) override {
    if (!FHandle) {
      FLastError = kErrNotOpen;
      return false;
    }
    if (Count > static_cast<size_t>(INT_MAX)) {
      FLastError = EINVAL;
      return false;
    }
    auto Write = std::make_unique<TWriteInFlight>();
    Write->Bytes.assign(Data, Data + Count);
    Write->Transfer = libusb_alloc_transfer(0);
    if (!Write->Transfer) {
      FLastError = ENOMEM;
      return false;
    }
    libusb_fill_bulk_transfer(Write->Transfer, FHandle, FOutEndpoint, Write->Bytes.data(), static_cast<int>(Count),
                              &TLibUsbLinkPort::WriteEnded, Write.get(), NoTimeout);
    const int Result = libusb_submit_transfer(Write->Transfer);
    if (Result != LIBUSB_SUCCESS) {
      FLastError = LibUsbErrorToPlatform(Result);
      return false;
    }
    FWrites.push_back(std::move(Write));
    return true;
  }

  // Runs libusb's event handling until Write has ended. A failure of the
  // event handling itself cancels the transfer so that it still ends; a
  // transfer that cannot be made to end is left to libusb (never freed while
  // it may still be in use) and reported as failed.
  bool WaitFor(TWriteInFlight& Write) {
    int Failures = 0;
    while (!Write.Ended) {
      const int Result = libusb_handle_events_completed(FContext, &Write.Ended);
      if (Result == LIBUSB_SUCCESS || Result == LIBUSB_ERROR_INTERRUPTED) continue;
      if (Failures++ == 0) libusb_cancel_transfer(Write.Transfer);
      if (Failures > 100) return false;
    }
    return true;
  }

  long FinishOldest() override {
    if (FWrites.empty()) {
      FLastError = kErrNotOpen;
      return -1;
    }
    std::unique_ptr<TWriteInFlight> Write = std::move(FWrites.front());
    FWrites.pop_front();
    if (!WaitFor(*Write)) {
      Write->Transfer = nullptr;
      Write.release();
      FLastError = kErrIo;
      return -1;
    }
    const libusb_transfer& Transfer = *Write->Transfer;
    if (Transfer.status != LIBUSB_TRANSFER_COMPLETED) {
      FLastError = LibUsbTransferStatusToPlatform(Transfer.status);
      return -1;
    }
    return Transfer.actual_length;
  }

  void CancelAll() override {
    // Cancel all first, so that none waits for the others; then each ends.
    // The last error stays that of the write that failed, if one did.
    for (const auto& Write : FWrites)
      if (!Write->Ended) libusb_cancel_transfer(Write->Transfer);
    for (auto& Write : FWrites)
      if (!WaitFor(*Write)) {
        Write->Transfer = nullptr;
        Write.release();
      }
    FWrites.clear();
  }

  size_t InFlight() const override { return FWrites.size(); }

  static int LIBUSB_CALL HotplugCallback(libusb_context*, libusb_device*, libusb_hotplug_event, void* UserData) {
    static_cast<TLibUsbLinkPort*>(UserData)->FChanged = true;
    return 0;   // stay registered
  }

  intptr_t Fail(int LibUsbError) {
    FLastError = LibUsbErrorToPlatform(LibUsbError);
    return -1;
  }

  // A cable that is there but could not be opened: the reason goes into the
  // port's description, which the front ends show with "no cable found".
  intptr_t FailOpen(int LibUsbError) {
    FAdvice = OpenFailureAdvice(LibUsbError);
    return Fail(LibUsbError);
  }

  long Transfer(unsigned char Endpoint, uint8_t* Data, size_t Count, unsigned TimeoutMs) {
    if (!FHandle) {
      FLastError = kErrNotOpen;
      return -1;
    }
    if (Count > static_cast<size_t>(INT_MAX)) {
      FLastError = EINVAL;
      return -1;
    }
    int Moved = 0;
    const int Result = libusb_bulk_transfer(FHandle, Endpoint, Data, static_cast<int>(Count), &Moved, TimeoutMs);
    // A time-out after part of a reply still hands over that part.
    if (Result != LIBUSB_SUCCESS && !(Result == LIBUSB_ERROR_TIMEOUT && Moved > 0)) {
      FLastError = LibUsbErrorToPlatform(Result);
      return -1;
    }
    if (Moved == 0 && Result == LIBUSB_ERROR_TIMEOUT) FLastError = kErrTimedOut;
    return Moved;
  }

  uint16_t FVendor;
  uint16_t FProduct;
  libusb_context* FContext = nullptr;
  int FInitError = LIBUSB_SUCCESS;
  libusb_device_handle* FHandle = nullptr;
  unsigned char FOutEndpoint = BulkOutEndpoint;
  unsigned char FInEndpoint = BulkInEndpoint;
  std::string FAdvice;
  std::unique_ptr<TKernelUsbEvents> FKernelEvents;
  bool FReattachKernelDriver = false;
  int FLastError = 0;
  std::function<void()> FHandler;
  libusb_hotplug_callback_handle FHotplug = 0;
  bool FHotplugRegistered = false;
  bool FChanged = false;
  std::deque<std::unique_ptr<TWriteInFlight>> FWrites;
};

}  // namespace

std::unique_ptr<TLinkPort> MakeLibUsbLinkPort(uint16_t Vendor, uint16_t Product) {
  return std::make_unique<TLibUsbLinkPort>(Vendor, Product);
}
