// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The I/O manager as a program meets it: open a device interface by its
// symbolic link, read, write, send control requests and close, each call
// blocking until the driver has completed the request.
#include <wdm.h>

#include <string>
#include <vector>

struct TIoFile;

class TIoManager {
public:
  // The symbolic links of the enabled interfaces of a class.
  static std::vector<std::u16string> Interfaces(const GUID& Class);

  static NTSTATUS Open(const std::u16string& Link, TIoFile** File);
  // Opens a device stack by one of its device objects' names, as a program
  // may open the bus's device name: the request goes to the top of the stack,
  // whether or not an interface is enabled.
  static NTSTATUS OpenDevice(PDEVICE_OBJECT Device, TIoFile** File);
  static NTSTATUS Read(TIoFile* File, void* Buffer, ULONG Length, ULONG_PTR* Information);
  static NTSTATUS Write(TIoFile* File, const void* Buffer, ULONG Length, ULONG_PTR* Information);
  static NTSTATUS DeviceControl(TIoFile* File, ULONG IoControlCode, const void* Input, ULONG InputLength, void* Output,
                                ULONG OutputLength, ULONG_PTR* Information);
  // Cleanup, then close; the file is gone afterwards whatever the driver says.
  static NTSTATUS Close(TIoFile* File);
};
