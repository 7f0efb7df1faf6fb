#include "core/link/LibUsbLinkPort.h"

#include <climits>
#include <cstdio>
#include <string>

#include <libusb.h>

#include "core/link/LibUsbErrors.h"
#include "core/link/PlatformErrors.h"

namespace {

constexpr unsigned char BulkOutEndpoint = 0x02;
constexpr unsigned char BulkInEndpoint = 0x81;
constexpr int LinkInterface = 0;
constexpr unsigned NoTimeout = 0;   // the link waits until the cable answers

class TLibUsbLinkPort final : public TLinkPort {
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
    if (FContext) {
      if (FHotplugRegistered) libusb_hotplug_deregister_callback(FContext, FHotplug);
      libusb_exit(FContext);
    }
  }

  intptr_t Open(TFrontEnd& FrontEnd) override {
    (void)FrontEnd;
    Close();
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
    libusb_free_device_list(List, 1);
    if (OpenResult != LIBUSB_SUCCESS) return Fail(OpenResult);

    if (libusb_kernel_driver_active(Handle, LinkInterface) == 1) {
      const int Result = libusb_detach_kernel_driver(Handle, LinkInterface);
      if (Result != LIBUSB_SUCCESS) {
        libusb_close(Handle);
        return Fail(Result);
      }
      FReattachKernelDriver = true;
    }
    const int Claim = libusb_claim_interface(Handle, LinkInterface);
    if (Claim != LIBUSB_SUCCESS) {
      if (FReattachKernelDriver) libusb_attach_kernel_driver(Handle, LinkInterface);
      FReattachKernelDriver = false;
      libusb_close(Handle);
      return Fail(Claim);
    }
    FHandle = Handle;
    FLastError = 0;
    return reinterpret_cast<intptr_t>(FHandle);
  }

  void Close() override {
    if (!FHandle) return;
    libusb_release_interface(FHandle, LinkInterface);
    if (FReattachKernelDriver) libusb_attach_kernel_driver(FHandle, LinkInterface);
    FReattachKernelDriver = false;
    libusb_close(FHandle);
    FHandle = nullptr;
  }

  long Write(const uint8_t* Data, size_t Count) override {
    return Transfer(BulkOutEndpoint, const_cast<uint8_t*>(Data), Count);
  }

  long Read(uint8_t* Data, size_t Count) override { return Transfer(BulkInEndpoint, Data, Count); }

  int LastError() const override { return FLastError; }

  void SetDeviceChangeHandler(std::function<void()> Handler) override {
    FHandler = std::move(Handler);
    if (!FContext || FHotplugRegistered || !FHandler) return;
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) return;
    const int Result = libusb_hotplug_register_callback(
        FContext,
        static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
        LIBUSB_HOTPLUG_NO_FLAGS, FVendor, FProduct, LIBUSB_HOTPLUG_MATCH_ANY, &TLibUsbLinkPort::HotplugCallback, this,
        &FHotplug);
    FHotplugRegistered = Result == LIBUSB_SUCCESS;
  }

  void PollDeviceEvents() override {
    if (!FContext || !FHotplugRegistered) return;
    timeval Zero{0, 0};
    libusb_handle_events_timeout_completed(FContext, &Zero, nullptr);
    // libusb's callback only notes the change; the handler runs here, out of
    // libusb's event handling, so it may close and reopen the port.
    if (FChanged) {
      FChanged = false;
      if (FHandler) FHandler();
    }
  }

  std::string Describe() const override {
    char Text[64];
    std::snprintf(Text, sizeof Text, "USB %04x:%04x", FVendor, FProduct);
    return Text;
  }

private:
  static int LIBUSB_CALL HotplugCallback(libusb_context*, libusb_device*, libusb_hotplug_event, void* UserData) {
    static_cast<TLibUsbLinkPort*>(UserData)->FChanged = true;
    return 0;   // stay registered
  }

  intptr_t Fail(int LibUsbError) {
    FLastError = LibUsbErrorToPlatform(LibUsbError);
    return -1;
  }

  long Transfer(unsigned char Endpoint, uint8_t* Data, size_t Count) {
    if (!FHandle) {
      FLastError = kErrNotOpen;
      return -1;
    }
    if (Count > static_cast<size_t>(INT_MAX)) {
      FLastError = EINVAL;
      return -1;
    }
    int Moved = 0;
    const int Result = libusb_bulk_transfer(FHandle, Endpoint, Data, static_cast<int>(Count), &Moved, NoTimeout);
    if (Result != LIBUSB_SUCCESS) {
      FLastError = LibUsbErrorToPlatform(Result);
      return -1;
    }
    return Moved;
  }

  uint16_t FVendor;
  uint16_t FProduct;
  libusb_context* FContext = nullptr;
  int FInitError = LIBUSB_SUCCESS;
  libusb_device_handle* FHandle = nullptr;
  bool FReattachKernelDriver = false;
  int FLastError = 0;
  std::function<void()> FHandler;
  libusb_hotplug_callback_handle FHotplug = 0;
  bool FHotplugRegistered = false;
  bool FChanged = false;
};

}  // namespace

std::unique_ptr<TLinkPort> MakeLibUsbLinkPort(uint16_t Vendor, uint16_t Product) {
  return std::make_unique<TLibUsbLinkPort>(Vendor, Product);
}
