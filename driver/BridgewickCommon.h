// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What both builds of Bridgewick share: the kernel's headers, code placement,
// the device interface class, the cable's endpoints and the two request
// helpers that are the same in both.
//
// The headers below are the kernel's. Which kernel that is (Windows, or the
// user-mode kernel layer of the tests) is decided by the include path alone.
#include <wdm.h>
extern "C" {
#include <usbdi.h>
#include <usbdlib.h>
}

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

// The device interface class through which the program finds the cable:
// {1B65BEDD-1D6A-11D6-807D-82B3DAB6C625}.
static const GUID LinkInterfaceGuid = {0x1B65BEDD, 0x1D6A, 0x11D6, {0x80, 0x7D, 0x82, 0xB3, 0xDA, 0xB6, 0xC6, 0x25}};

// Endpoints of the cable's one interface.
constexpr UCHAR BulkInEndpoint = 0x81;
constexpr UCHAR BulkOutEndpoint = 0x02;

// Stores the status and the byte count and completes the request with no
// priority boost; returns the status.
NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status, ULONG_PTR Information);
// Completion routine of a request forwarded and waited for: Context is the
// waiter's event. The request comes back to the sender.
NTSTATUS NTAPI ForwardCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
