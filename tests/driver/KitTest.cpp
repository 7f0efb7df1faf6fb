// The kernel layer's own safety net: the misuses the driver tests rely on it
// to catch must really be caught, or a clean run would prove nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "driver/kit/Kit.h"
#include "driver/kit/UsbBus.h"
#include <usbdlib.h>

namespace {

TEST(KitTest, KernelMisusesAreReported) {
  struct TCase {
    const char* What;
    std::function<void()> Misuse;
    const char* Reported;
  };
  const TCase Cases[] = {
      {"a block freed twice",
       [] {
         PVOID Block = ExAllocatePool(NonPagedPool, 16);
         ExFreePool(Block);
         ExFreePool(Block);
       },
       "freed twice"},
      {"a wait at DISPATCH_LEVEL",
       [] {
         KEVENT Event;
         KeInitializeEvent(&Event, NotificationEvent, FALSE);
         LARGE_INTEGER Timeout;
         Timeout.QuadPart = -10;
         KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
         KeWaitForSingleObject(&Event, Executive, KernelMode, FALSE, &Timeout);
       },
       "DISPATCH_LEVEL"},
      {"pageable code at DISPATCH_LEVEL",
       [] {
         KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
         PAGED_CODE();
       },
       "pageable routine"},
      {"a wait on an event never initialised",
       [] {
         KEVENT Event{};
         LARGE_INTEGER Timeout;
         Timeout.QuadPart = 0;
         KeWaitForSingleObject(&Event, Executive, KernelMode, FALSE, &Timeout);
       },
       "never initialised"},
      {"a request completed twice",
       [] {
         KEVENT Event;
         IO_STATUS_BLOCK IoStatus;
         KeInitializeEvent(&Event, NotificationEvent, FALSE);
         PIRP Irp = KitInternal::AllocateThreadedIrp(1, &IoStatus, &Event, 0);
         IoSetNextIrpStackLocation(Irp);
         Irp->IoStatus.Status = STATUS_SUCCESS;
         IofCompleteRequest(Irp, IO_NO_INCREMENT);
         IofCompleteRequest(Irp, IO_NO_INCREMENT);
       },
       "completed twice"},
      {"a descriptor parsed past the bytes received",
       [] {
         std::vector<uint8_t> Bytes = TUsbBus::CableConfiguration();
         KitInternal::RecordDescriptorDelivery(Bytes.data(), 9);
         USBD_ParseConfigurationDescriptorEx(reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(Bytes.data()), Bytes.data(),
                                             -1, -1, -1, -1, -1);
         KitInternal::ForgetDescriptorDelivery(Bytes.data());
       },
       "only 9 were received"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TKit::ClearFaults();
    Case.Misuse();
    auto Faults = TKit::Faults();
    ASSERT_EQ(Faults.size(), 1u);
    EXPECT_NE(Faults[0].find(Case.Reported), std::string::npos) << Faults[0];
  }
  TKit::ClearFaults();
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
  EXPECT_EQ(TKit::IrpsInUse(), 0u);
}

TEST(KitTest, PoolStillHeldIsCounted) {
  PVOID Block = ExAllocatePool(NonPagedPool, 24);
  EXPECT_EQ(TKit::PoolBlocksInUse(), 1u);
  ExFreePool(Block);
  EXPECT_EQ(TKit::PoolBlocksInUse(), 0u);
}

}  // namespace
