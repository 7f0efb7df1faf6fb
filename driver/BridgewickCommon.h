// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both builds of Bridgewick share: the kernel's headers, code placement,
// the device interface class, the cable's endpoints and the request helpers
// that are the same in both.
//
// The headers below are the kernel's. Which kernel that is (Windows, or the
// user-mode kernel layer of the tests) is decided by the include path alone.
#include <wdm.h>
extern "C" {
#include <usbdi.h>
#include <usbdlib.h>
}

#include "driver/BridgewickPublic.h"

// Code placement. In a PE driver image the loader pages sections named PAGE
// out when they are idle and discards INIT once DriverEntry has returned, so
// routines that run only at PASSIVE_LEVEL live there. On the kernel layer
// pageable code goes into a PAGE section too, so that the layer sees a spin
// lock taken from it; everything there stays resident all the same.
#if defined(_WIN32) && defined(__GNUC__)
#define BW_PAGEABLE __attribute__((section("PAGE")))
#define BW_INIT __attribute__((section("INIT")))
#elif defined(__ELF__)
#define BW_PAGEABLE __attribute__((section("PAGE")))
#define BW_INIT
#else
#define BW_PAGEABLE
#define BW_INIT
#endif

// The interface class through which the program finds the cable, as the
// kernel's routines take it, made from the numbers of the public header.
constexpr GUID LinkInterfaceClass = {
    LinkInterfaceGuid.Data1,
    LinkInterfaceGuid.Data2,
    LinkInterfaceGuid.Data3,
    {LinkInterfaceGuid.Data4[0], LinkInterfaceGuid.Data4[1], LinkInterfaceGuid.Data4[2], LinkInterfaceGuid.Data4[3],
     LinkInterfaceGuid.Data4[4], LinkInterfaceGuid.Data4[5], LinkInterfaceGuid.Data4[6], LinkInterfaceGuid.Data4[7]}};
static_assert(sizeof(GUID) == sizeof(TLinkInterfaceGuid), "the public numbers are laid out as a GUID");

// Endpoints of the cable's one interface.
constexpr UCHAR BulkInEndpoint = 0x81;
constexpr UCHAR BulkOutEndpoint = 0x02;

// Stores the status and the byte count and completes the request with no
// priority boost; returns the status.
NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status, ULONG_PTR Information);
// Completion routine of a request forwarded and waited for: Context is the
// waiter's event. The request comes back to the sender.
NTSTATUS NTAPI ForwardCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
// Hands Irp to LowerDevice and waits until that driver is done with it; the
// request comes back to the caller not yet completed, with the lower
// driver's status. At PASSIVE_LEVEL.
NTSTATUS ForwardAndWait(PDEVICE_OBJECT LowerDevice, PIRP Irp);
// Sends an internal control request (a URB, a port status query, a port
// reset) to the driver below and waits for it: the one synchronous sender of
// both builds, for set-up, resets and descriptor reads at PASSIVE_LEVEL.
// Argument goes in Parameters.Others.Argument1; the result is the request's
// final status (STATUS_INSUFFICIENT_RESOURCES when none could be built).
NTSTATUS CallUsbdSync(PDEVICE_OBJECT LowerDeviceObject, ULONG IoControlCode, PVOID Argument);
