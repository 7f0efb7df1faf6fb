// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The I/O manager as a program meets it: open a device interface by its
// symbolic link, read, write, send control requests and close. Reads and
// writes may also be started without waiting (overlapped), cancelled, and
// cancelled all at once for a thread, as Windows does when a thread exits.
#include <wdm.h>

#include <string>
#include <thread>
#include <vector>

struct TIoFile;
struct TIoRequest;

// How a handle is asked for.
struct TOpenOptions {
  // The access the handle asks for; 0 is a handle of no access rights, which
  // any user may open.
  ULONG Access = FILE_READ_DATA | FILE_WRITE_DATA;
  // A name beyond the device's own, as in "\\?\...#{guid}\Tail".
  std::u16string Tail;
  // The caller is a user the device's security (the system, administrators
  // and the interactive user) does not admit: an open asking for access is
  // refused, unless the name reaches past the device and the device never
  // asked for its security to be checked on such opens.
  bool Outsider = false;
};

class TIoManager {
public:
  // The symbolic links of the enabled interfaces of a class.
  static std::vector<std::u16string> Interfaces(const GUID& Class);

  static NTSTATUS Open(const std::u16string& Link, TIoFile** File, const TOpenOptions& Options = {});
  // Opens a device stack by one of its device objects' names, as a program
  // may open the bus's device name: the request goes to the top of the stack,
  // whether or not an interface is enabled.
  static NTSTATUS OpenDevice(PDEVICE_OBJECT Device, TIoFile** File, const TOpenOptions& Options = {});
  static NTSTATUS Read(TIoFile* File, void* Buffer, ULONG Length, ULONG_PTR* Information);
  static NTSTATUS Write(TIoFile* File, const void* Buffer, ULONG Length, ULONG_PTR* Information);
  static NTSTATUS DeviceControl(TIoFile* File, ULONG IoControlCode, const void* Input, ULONG InputLength, void* Output,
                                ULONG OutputLength, ULONG_PTR* Information);
  // Cleanup, then close; the file is gone afterwards whatever the driver says.
  static NTSTATUS Close(TIoFile* File);

  // Overlapped reads and writes: the request goes to the driver in the
  // calling thread and the call returns once the driver has. The buffer
  // must stay until Wait.
  static TIoRequest* StartRead(TIoFile* File, void* Buffer, ULONG Length);
  static TIoRequest* StartWrite(TIoFile* File, const void* Buffer, ULONG Length);
  // Completed, or refused before it reached the driver.
  static bool Finished(TIoRequest* Request);
  // Waits for the request, frees it, and returns its status and byte count.
  static NTSTATUS Wait(TIoRequest* Request, ULONG_PTR* Information);
  // Cancels one request still in flight (CancelIoEx); TRUE when a cancel
  // routine took it.
  static BOOLEAN Cancel(TIoRequest* Request);
  // What the system does when a thread ends (it is killed, or its process
  // is): every request the thread started and that is still in flight is
  // cancelled. Returns how many were.
  static size_t CancelThreadIo(std::thread::id Thread);
  // Requests a thread has in flight.
  static size_t RequestsInFlight(std::thread::id Thread);
};
