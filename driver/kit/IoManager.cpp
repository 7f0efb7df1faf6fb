// SPDX-License-Identifier: GPL-3.0-or-later
#include "driver/kit/IoManager.h"

#include <cstring>

#include "driver/kit/Kit.h"
#include "driver/kit/SyncRequest.h"

struct TIoFile {
  FILE_OBJECT Object{};
  PDEVICE_OBJECT Device = nullptr;   // the top of the stack when it was opened
};

namespace {

constexpr CSHORT IoTypeFile = 5;

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

NTSTATUS Transfer(TIoFile* File, UCHAR MajorFunction, void* Buffer, ULONG Length, ULONG_PTR* Information) {
  *Information = 0;
  if (KitInternal::IsDeleted(File->Device)) return STATUS_NO_SUCH_DEVICE;
  bool Read = MajorFunction == IRP_MJ_READ;
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  PIRP Irp = NewRequest(File, MajorFunction, &IoStatus, &Done, Read ? Length : 0);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  AttachBuffer(Irp, File->Device, Buffer, Length, Read);
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  if (Read)
    Next->Parameters.Read.Length = Length;
  else
    Next->Parameters.Write.Length = Length;
  NTSTATUS Status = KitSendAndWait(File->Device, Irp, &Done, &IoStatus, Read ? "a read" : "a write");
  if (IoStatus.Information > Length)
    TKit::Fault("a transfer reported " + std::to_string(IoStatus.Information) + " bytes for a request of " +
                std::to_string(Length));
  *Information = IoStatus.Information;
  return Status;
}

NTSTATUS Simple(TIoFile* File, UCHAR MajorFunction, const char* What) {
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  PIRP Irp = NewRequest(File, MajorFunction, &IoStatus, &Done, 0);
  if (Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  return KitSendAndWait(File->Device, Irp, &Done, &IoStatus, What);
}

}  // namespace

std::vector<std::u16string> TIoManager::Interfaces(const GUID& Class) { return TKit::InterfaceLinks(Class, true); }

NTSTATUS TIoManager::Open(const std::u16string& Link, TIoFile** File) {
  *File = nullptr;
  PDEVICE_OBJECT Pdo = TKit::InterfaceDevice(Link);
  if (Pdo == nullptr || !TKit::InterfaceEnabled(Link)) return STATUS_OBJECT_NAME_NOT_FOUND;
  return OpenDevice(Pdo, File);
}

NTSTATUS TIoManager::OpenDevice(PDEVICE_OBJECT Pdo, TIoFile** File) {
  *File = nullptr;
  if (KitInternal::IsDeleted(Pdo)) return STATUS_OBJECT_NAME_NOT_FOUND;
  auto* Opened = new TIoFile;
  Opened->Object.Type = IoTypeFile;
  Opened->Object.Size = sizeof(FILE_OBJECT);
  Opened->Object.DeviceObject = Pdo;
  Opened->Device = IoGetAttachedDevice(Pdo);
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

NTSTATUS TIoManager::DeviceControl(TIoFile* File, ULONG IoControlCode, const void* Input, ULONG InputLength,
                                   void* Output, ULONG OutputLength, ULONG_PTR* Information) {
  *Information = 0;
  if (KitInternal::IsDeleted(File->Device)) return STATUS_NO_SUCH_DEVICE;
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

NTSTATUS TIoManager::Close(TIoFile* File) {
  NTSTATUS Status = STATUS_SUCCESS;
  if (!KitInternal::IsDeleted(File->Device)) {
    Simple(File, IRP_MJ_CLEANUP, "a cleanup");
    Status = Simple(File, IRP_MJ_CLOSE, "a close");
  }
  KitInternal::ReleaseOpenFile(File->Device);
  delete File;
  return Status;
}
