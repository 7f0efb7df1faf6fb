// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/IoManager.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "driver/kit/Kit.h"
#include "driver/kit/SyncRequest.h"

struct TIoFile {
  FILE_OBJECT Object{};
  PDEVICE_OBJECT Device = nullptr;   // the top of the stack when it was opened
  ULONG Access = 0;                  // granted at the open
  std::u16string Name;               // FileName's characters
};

// A read or write the I/O manager sent for a thread. The request stays
// allocated after completion until Wait frees it, so that a cancel can never
// reach freed memory.
struct TIoRequest {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus{};
  PIRP Irp = nullptr;
  NTSTATUS Returned = STATUS_PENDING;   // what the driver returned
  NTSTATUS Refused = STATUS_SUCCESS;    // set when the request never reached the driver
  ULONG Length = 0;
  std::thread::id Thread;
  const char* What = "";
};

namespace {

constexpr CSHORT IoTypeFile = 5;

// Every read and write in flight, for cancels by request and by thread.
std::mutex InFlightMutex;
std::vector<TIoRequest*> InFlight;

PIRP NewRequest(TIoFile* File, UCHAR MajorFunction, PIO_STATUS_BLOCK IoStatus, PKEVENT Event, ULONG OutputLength) {
  KeInitializeEvent(Event, NotificationEvent, FALSE);
  PIRP Irp = KitInternal::AllocateThreadedIrp(File->Device->StackSize, IoStatus, Event, OutputLength);
  if (Irp == nullptr) return nullptr;
  Irp->Tail.Overlay.OriginalFileObject = &File->Object;
  Irp->RequestorMode = UserMode;
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->MajorFunction = MajorFunction;
  Next->FileObject = &File->Object;
  return Irp;
}

// Buffered I/O gets a system buffer, direct I/O a descriptor of the caller's
// buffer, neither the caller's buffer itself.
void AttachBuffer(PIRP Irp, PDEVICE_OBJECT Device, void* Buffer, ULONG Length, bool ToCaller) {
  if (Device->Flags & DO_BUFFERED_IO) {
    if (Length == 0) return;
    Irp->AssociatedIrp.SystemBuffer = KitInternal::AllocateSystemBuffer(Length);
    if (!ToCaller) std::memcpy(Irp->AssociatedIrp.SystemBuffer, Buffer, Length);
    Irp->Flags = IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (ToCaller ? IRP_INPUT_OPERATION : 0);
    Irp->UserBuffer = Buffer;
  } else if (Device->Flags & DO_DIRECT_IO) {
    if (Length != 0) IoAllocateMdl(Buffer, Length, FALSE, FALSE, Irp);
  } else {
    Irp->UserBuffer = Buffer;
  }
}

TIoRequest* StartTransfer(TIoFile* File, UCHAR MajorFunction, void* Buffer, ULONG Length) {
  auto* Request = new TIoRequest;
  KeInitializeEvent(&Request->Done, NotificationEvent, FALSE);
  bool Read = MajorFunction == IRP_MJ_READ;
  Request->Length = Length;
  Request->Thread = std::this_thread::get_id();
  Request->What = Read ? "a read" : "a write";
  // The handle must have been opened for what it is used for.
  if (!(File->Access & (Read ? FILE_READ_DATA : FILE_WRITE_DATA))) {
    Request->Refused = STATUS_ACCESS_DENIED;
    return Request;
  }
  PIRP Irp = NewRequest(File, MajorFunction, &Request->IoStatus, &Request->Done, Read ? Length : 0);
  if (Irp == nullptr) {
    Request->Refused = STATUS_INSUFFICIENT_RESOURCES;
    return Request;
  }
  KitInternal::KeepAfterCompletion(Irp);
  AttachBuffer(Irp, File->Device, Buffer, Length, Read);
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  if (Read)
    Next->Parameters.Read.Length = Length;
  else
    Next->Parameters.Write.Length = Length;
  Request->Irp = Irp;
  Request->IoStatus.Status = STATUS_PENDING;
  {
    std::lock_guard<std::mutex> Lock(InFlightMutex);
    InFlight.push_back(Request);
  }
  Request->Returned = IofCallDriver(File->Device, Irp);
  if (Request->Returned != STATUS_PENDING && KeReadStateEvent(&Request->Done) == 0)
    TKit::Fault(std::string(Request->What) +
                ": the driver returned without completing the request or returning STATUS_PENDING");
  return Request;
}

NTSTATUS Transfer(TIoFile* File, UCHAR MajorFunction, void* Buffer, ULONG Length, ULONG_PTR* Information) {
  return TIoManager::Wait(StartTransfer(File, MajorFunction, Buffer, Length), Information);
}

NTSTATUS Simple(TIoFile* File, UCHAR MajorFunction, const char* What) {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  PIRP Irp = NewRequest(File, MajorFunction, &IoStatus, &Done, 0);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  return KitSendAndWait(File->Device, Irp, &Done, &IoStatus, What);
}

// The device's security is checked on an open unless the name reaches past
// the device and no device of the stack asked for secure opens.
bool SecurityChecked(PDEVICE_OBJECT Top, const std::u16string& Tail) {
  if (Tail.empty()) return true;
  for (PDEVICE_OBJECT Device = Top; Device != nullptr; Device = KitInternal::DeviceBelow(Device))
    if (Device->Characteristics & FILE_DEVICE_SECURE_OPEN) return true;
  return false;
}

}  // namespace

std::vector<std::u16string> TIoManager::Interfaces(const GUID& Class) { return TKit::InterfaceLinks(Class, true); }

NTSTATUS TIoManager::Open(const std::u16string& Link, TIoFile** File, const TOpenOptions& Options) {
  *File = nullptr;
  PDEVICE_OBJECT Pdo = TKit::InterfaceDevice(Link);
  if (Pdo == nullptr || !TKit::InterfaceEnabled(Link)) return STATUS_OBJECT_NAME_NOT_FOUND;
  return OpenDevice(Pdo, File, Options);
}

NTSTATUS TIoManager::OpenDevice(PDEVICE_OBJECT Pdo, TIoFile** File, const TOpenOptions& Options) {
  *File = nullptr;
  if (KitInternal::IsDeleted(Pdo)) return STATUS_OBJECT_NAME_NOT_FOUND;
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Pdo);
  if (Options.Outsider && Options.Access != 0 && SecurityChecked(Top, Options.Tail)) return STATUS_ACCESS_DENIED;
  auto* Opened = new TIoFile;
  Opened->Object.Type = IoTypeFile;
  Opened->Object.Size = sizeof(FILE_OBJECT);
  Opened->Object.DeviceObject = Pdo;
  Opened->Device = Top;
  Opened->Access = Options.Access;
  Opened->Name = Options.Tail;
  Opened->Object.FileName.Buffer = Opened->Name.empty() ? nullptr : Opened->Name.data();
  Opened->Object.FileName.Length = static_cast<USHORT>(Opened->Name.size() * sizeof(WCHAR));
  Opened->Object.FileName.MaximumLength = Opened->Object.FileName.Length;
  KitInternal::AddOpenFile(Opened->Device);
  NTSTATUS Status = Simple(Opened, IRP_MJ_CREATE, "an open");
  if (!NT_SUCCESS(Status)) {
    KitInternal::ReleaseOpenFile(Opened->Device);
    delete Opened;
    return Status;
  }
  *File = Opened;
  return Status;
}

NTSTATUS TIoManager::Read(TIoFile* File, void* Buffer, ULONG Length, ULONG_PTR* Information) {
  return Transfer(File, IRP_MJ_READ, Buffer, Length, Information);
}

NTSTATUS TIoManager::Write(TIoFile* File, const void* Buffer, ULONG Length, ULONG_PTR* Information) {
  return Transfer(File, IRP_MJ_WRITE, const_cast<void*>(Buffer), Length, Information);
}

TIoRequest* TIoManager::StartRead(TIoFile* File, void* Buffer, ULONG Length) {
  return StartTransfer(File, IRP_MJ_READ, Buffer, Length);
}

TIoRequest* TIoManager::StartWrite(TIoFile* File, const void* Buffer, ULONG Length) {
  return StartTransfer(File, IRP_MJ_WRITE, const_cast<void*>(Buffer), Length);
}

bool TIoManager::Finished(TIoRequest* Request) {
  return Request->Irp == nullptr || KeReadStateEvent(&Request->Done) != 0;
}

NTSTATUS TIoManager::Wait(TIoRequest* Request, ULONG_PTR* Information) {
  *Information = 0;
  if (Request->Irp == nullptr) {
    NTSTATUS Refused = Request->Refused;
    delete Request;
    return Refused;
  }
  KeWaitForSingleObject(&Request->Done, Executive, KernelMode, FALSE, nullptr);
  {
    // No cancel can be on its way to the request once it is off this list.
    std::lock_guard<std::mutex> Lock(InFlightMutex);
    InFlight.erase(std::remove(InFlight.begin(), InFlight.end(), Request), InFlight.end());
  }
  KitInternal::FreeCompletedIrp(Request->Irp);
  NTSTATUS Status = Request->IoStatus.Status;
  if (Request->Returned != STATUS_PENDING && Request->Returned != Status)
    TKit::Fault(std::string(Request->What) +
                ": the driver returned a status other than the one it completed the request with");
  if (Request->IoStatus.Information > Request->Length)
    TKit::Fault("a transfer reported " + std::to_string(Request->IoStatus.Information) + " bytes for a request of " +
                std::to_string(Request->Length));
  *Information = Request->IoStatus.Information;
  delete Request;
  return Status;
}

BOOLEAN TIoManager::Cancel(TIoRequest* Request) {
  std::lock_guard<std::mutex> Lock(InFlightMutex);
  if (Request->Irp == nullptr) return FALSE;
  return IoCancelIrp(Request->Irp);
}

size_t TIoManager::CancelThreadIo(std::thread::id Thread) {
  std::lock_guard<std::mutex> Lock(InFlightMutex);
  size_t Cancelled = 0;
  for (TIoRequest* Request : InFlight) {
    if (Request->Thread != Thread || KeReadStateEvent(&Request->Done) != 0) continue;
    IoCancelIrp(Request->Irp);
    ++Cancelled;
  }
  return Cancelled;
}

size_t TIoManager::RequestsInFlight(std::thread::id Thread) {
  std::lock_guard<std::mutex> Lock(InFlightMutex);
  return size_t(std::count_if(InFlight.begin(), InFlight.end(), [&](TIoRequest* Request) {
    return Request->Thread == Thread && KeReadStateEvent(&Request->Done) == 0;
  }));
}

NTSTATUS TIoManager::DeviceControl(TIoFile* File, ULONG IoControlCode, const void* Input, ULONG InputLength,
                                   void* Output, ULONG OutputLength, ULONG_PTR* Information) {
  *Information = 0;
  // The access a code asks for is checked against the handle's before the
  // driver sees the request.
  ULONG Needed = (IoControlCode >> 14) & 3;
  if (((Needed & FILE_READ_ACCESS) && !(File->Access & FILE_READ_DATA)) ||
      ((Needed & FILE_WRITE_ACCESS) && !(File->Access & FILE_WRITE_DATA)))
    return STATUS_ACCESS_DENIED;
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  bool Buffered = (IoControlCode & 3) == METHOD_BUFFERED;
  PIRP Irp = NewRequest(File, IRP_MJ_DEVICE_CONTROL, &IoStatus, &Done, Buffered ? OutputLength : 0);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
  Next->Parameters.DeviceIoControl.InputBufferLength = InputLength;
  Next->Parameters.DeviceIoControl.OutputBufferLength = OutputLength;
  if (Buffered) {
    ULONG Bytes = InputLength > OutputLength ? InputLength : OutputLength;
    if (Bytes != 0) {
      Irp->AssociatedIrp.SystemBuffer = KitInternal::AllocateSystemBuffer(Bytes);
      if (Input != nullptr && InputLength != 0) std::memcpy(Irp->AssociatedIrp.SystemBuffer, Input, InputLength);
      Irp->Flags = IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (OutputLength != 0 ? IRP_INPUT_OPERATION : 0);
      Irp->UserBuffer = Output;
    }
  } else {
    Next->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(Input);
    Irp->UserBuffer = Output;
  }
  NTSTATUS Status = KitSendAndWait(File->Device, Irp, &Done, &IoStatus, "a device control request");
  *Information = IoStatus.Information;
  return Status;
}

// A removed device still gets the cleanup and close of the handles open on
// it, as it got their reads and writes.
NTSTATUS TIoManager::Close(TIoFile* File) {
  Simple(File, IRP_MJ_CLEANUP, "a cleanup");
  NTSTATUS Status = Simple(File, IRP_MJ_CLOSE, "a close");
  KitInternal::ReleaseOpenFile(File->Device);
  delete File;
  return Status;
}
