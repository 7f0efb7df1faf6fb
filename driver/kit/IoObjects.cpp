// SPDX-License-Identifier: GPL-3.0-or-later
// Device objects, device stacks, device interfaces and requests (IRPs) of the
// user-mode kernel layer: what IoCreateDevice, IofCallDriver and
// IofCompleteRequest do in the kernel, with the misuse checks a checked
// kernel would make.
#include <cstdio>
#include <cstdlib>

#include <cstring>
#include <memory>

#include "driver/kit/KitState.h"

namespace {

constexpr CSHORT IoTypeDevice = 3;
constexpr CSHORT IoTypeIrp = 6;

std::string Hex(ULONG Value, int Digits) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%0*x", Digits, static_cast<unsigned>(Value));
  return Text;
}

std::u16string Widen(const std::string& Text) { return std::u16string(Text.begin(), Text.end()); }

std::u16string GuidText(const GUID& Class) {
  std::string Text = "{" + Hex(Class.Data1, 8) + "-" + Hex(Class.Data2, 4) + "-" + Hex(Class.Data3, 4) + "-";
  for (int Index = 0; Index < 8; ++Index) {
    if (Index == 2) Text += "-";
    Text += Hex(Class.Data4[Index], 2);
  }
  return Widen(Text + "}");
}

bool SameGuid(const GUID& A, const GUID& B) { return std::memcmp(&A, &B, sizeof(GUID)) == 0; }

std::u16string FromUnicodeString(PUNICODE_STRING Text) {
  if (Text == nullptr || Text->Buffer == nullptr) return std::u16string();
  return std::u16string(Text->Buffer, Text->Length / sizeof(WCHAR));
}

PDEVICE_OBJECT TopOf(PDEVICE_OBJECT Device) {
  while (Device->AttachedDevice != nullptr) Device = Device->AttachedDevice;
  return Device;
}

void FreeDeviceMemory(PDEVICE_OBJECT Device) {
  delete Device->DeviceObjectExtension;
  std::free(Device);
}

}  // namespace

// ---- device objects ----------------------------------------------------------------
extern "C" NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT DriverObject, ULONG DeviceExtensionSize,
                                         PUNICODE_STRING DeviceName, DEVICE_TYPE DeviceType,
                                         ULONG DeviceCharacteristics, BOOLEAN Exclusive,
                                         PDEVICE_OBJECT* DeviceObject) {
  KitInternal::RequireIrql("IoCreateDevice");
  (void)DeviceName;
  *DeviceObject = nullptr;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    if (KitState().CreateDeviceFailure != STATUS_SUCCESS) return KitState().CreateDeviceFailure;
  }
  size_t Head = (sizeof(DEVICE_OBJECT) + 15) & ~size_t(15);
  auto* Device = static_cast<PDEVICE_OBJECT>(std::calloc(1, Head + DeviceExtensionSize));
  if (Device == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  Device->Type = IoTypeDevice;
  Device->Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + DeviceExtensionSize);
  Device->DriverObject = DriverObject;
  Device->Flags = DO_DEVICE_INITIALIZING | (Exclusive ? DO_EXCLUSIVE : 0);
  Device->Characteristics = DeviceCharacteristics;
  Device->DeviceType = DeviceType;
  Device->StackSize = 1;
  Device->DeviceExtension = DeviceExtensionSize ? reinterpret_cast<PUCHAR>(Device) + Head : nullptr;
  Device->DeviceObjectExtension = new _KIT_DEVICE_NODE;

  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  Device->NextDevice = DriverObject->DeviceObject;
  DriverObject->DeviceObject = Device;
  KitState().Devices.insert(Device);
  *DeviceObject = Device;
  return STATUS_SUCCESS;
}

extern "C" void NTAPI IoDeleteDevice(PDEVICE_OBJECT DeviceObject) {
  KitInternal::RequireIrql("IoDeleteDevice");
  std::unique_lock<std::mutex> Lock(KitState().Mutex);
  TKitState& State = KitState();
  if (State.Devices.count(DeviceObject) == 0 || DeviceObject->DeviceObjectExtension->Deleted) {
    State.Faults.push_back("IoDeleteDevice on a device that is not there (deleted twice?)");
    return;
  }
  _KIT_DEVICE_NODE* Node = DeviceObject->DeviceObjectExtension;
  if (DeviceObject->AttachedDevice != nullptr) State.Faults.push_back("a device deleted while another is attached on it");
  if (Node->AttachedTo != nullptr) State.Faults.push_back("a device deleted while still attached to the one below");
  for (PDEVICE_OBJECT* Link = &DeviceObject->DriverObject->DeviceObject; *Link != nullptr; Link = &(*Link)->NextDevice) {
    if (*Link == DeviceObject) {
      *Link = DeviceObject->NextDevice;
      break;
    }
  }
  Node->Deleted = true;
  // A device that is gone has no interfaces any more.
  auto& Interfaces = State.Interfaces;
  for (auto Entry = Interfaces.begin(); Entry != Interfaces.end();)
    Entry = Entry->second.Device == DeviceObject ? Interfaces.erase(Entry) : Entry + 1;
  // An object still referenced by open files lives until the last close.
  if (Node->OpenFiles == 0) {
    State.Devices.erase(DeviceObject);
    FreeDeviceMemory(DeviceObject);
  }
}

extern "C" PDEVICE_OBJECT NTAPI IoAttachDeviceToDeviceStack(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice) {
  KitInternal::RequireIrql("IoAttachDeviceToDeviceStack");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  PDEVICE_OBJECT Top = TopOf(TargetDevice);
  if (Top->DeviceObjectExtension->DeletePending || Top->DeviceObjectExtension->Deleted) return nullptr;
  Top->AttachedDevice = SourceDevice;
  SourceDevice->DeviceObjectExtension->AttachedTo = Top;
  SourceDevice->StackSize = static_cast<CCHAR>(Top->StackSize + 1);
  if (Top->AlignmentRequirement > SourceDevice->AlignmentRequirement)
    SourceDevice->AlignmentRequirement = Top->AlignmentRequirement;
  return Top;
}

extern "C" void NTAPI IoDetachDevice(PDEVICE_OBJECT TargetDevice) {
  KitInternal::RequireIrql("IoDetachDevice");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  PDEVICE_OBJECT Source = TargetDevice->AttachedDevice;
  if (Source == nullptr) {
    KitState().Faults.push_back("IoDetachDevice with nothing attached");
    return;
  }
  TargetDevice->AttachedDevice = nullptr;
  Source->DeviceObjectExtension->AttachedTo = nullptr;
}

extern "C" PDEVICE_OBJECT NTAPI IoGetAttachedDevice(PDEVICE_OBJECT DeviceObject) {
  KitInternal::RequireIrql("IoGetAttachedDevice");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return TopOf(DeviceObject);
}

void KitInternal::MarkPhysical(PDEVICE_OBJECT Device, const std::u16string& InstancePath) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  Device->DeviceObjectExtension->Physical = true;
  Device->DeviceObjectExtension->InstancePath = InstancePath;
}

void KitInternal::SetDeletePending(PDEVICE_OBJECT Device, bool Pending) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  Device->DeviceObjectExtension->DeletePending = Pending;
}

bool KitInternal::IsLiveDevice(PDEVICE_OBJECT Device) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Devices.count(Device) != 0 && !Device->DeviceObjectExtension->Deleted;
}

bool KitInternal::IsDeleted(PDEVICE_OBJECT Device) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return KitState().Devices.count(Device) == 0 || Device->DeviceObjectExtension->Deleted;
}

PDEVICE_OBJECT KitInternal::DeviceBelow(PDEVICE_OBJECT Device) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  return Device->DeviceObjectExtension->AttachedTo;
}

void KitInternal::AddOpenFile(PDEVICE_OBJECT Device) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  ++Device->DeviceObjectExtension->OpenFiles;
}

void KitInternal::ReleaseOpenFile(PDEVICE_OBJECT Device) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  _KIT_DEVICE_NODE* Node = Device->DeviceObjectExtension;
  if (--Node->OpenFiles == 0 && Node->Deleted) {
    KitState().Devices.erase(Device);
    FreeDeviceMemory(Device);
  }
}

// ---- device interfaces ----------------------------------------------------------------
extern "C" NTSTATUS NTAPI IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject, CONST GUID* InterfaceClassGuid,
                                                    PUNICODE_STRING ReferenceString, PUNICODE_STRING SymbolicLinkName) {
  KitInternal::RequireIrql("IoRegisterDeviceInterface");
  std::u16string Link;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    if (State.RegisterInterfaceFailure != STATUS_SUCCESS) return State.RegisterInterfaceFailure;
    if (State.Devices.count(PhysicalDeviceObject) == 0 || !PhysicalDeviceObject->DeviceObjectExtension->Physical) {
      State.Faults.push_back("IoRegisterDeviceInterface on a device that is not a physical device object");
      return STATUS_INVALID_DEVICE_REQUEST;
    }
    Link = u"\\??\\" + PhysicalDeviceObject->DeviceObjectExtension->InstancePath + u"#" + GuidText(*InterfaceClassGuid);
    if (ReferenceString != nullptr && ReferenceString->Length != 0) Link += u"\\" + FromUnicodeString(ReferenceString);
    bool Known = false;
    for (auto& Entry : State.Interfaces) Known = Known || Entry.first == Link;
    if (!Known) State.Interfaces.push_back({Link, {*InterfaceClassGuid, PhysicalDeviceObject, false}});
  }
  // The name is the caller's to free with RtlFreeUnicodeString.
  size_t Bytes = (Link.size() + 1) * sizeof(WCHAR);
  auto* Buffer = static_cast<PWSTR>(ExAllocatePool(PagedPool, Bytes));
  if (Buffer == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  std::memcpy(Buffer, Link.c_str(), Bytes);
  SymbolicLinkName->Buffer = Buffer;
  SymbolicLinkName->Length = static_cast<USHORT>(Link.size() * sizeof(WCHAR));
  SymbolicLinkName->MaximumLength = static_cast<USHORT>(Bytes);
  return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable) {
  KitInternal::RequireIrql("IoSetDeviceInterfaceState");
  std::u16string Link = FromUnicodeString(SymbolicLinkName);
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  for (auto& Entry : KitState().Interfaces) {
    if (Entry.first != Link) continue;
    if (Entry.second.Enabled == (Enable != 0)) return Enable ? STATUS_OBJECT_NAME_EXISTS : STATUS_OBJECT_NAME_NOT_FOUND;
    Entry.second.Enabled = Enable != 0;
    return STATUS_SUCCESS;
  }
  KitState().Faults.push_back("IoSetDeviceInterfaceState on a name that was never registered");
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

std::vector<std::u16string> TKit::InterfaceLinks(const GUID& Class, bool EnabledOnly) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  std::vector<std::u16string> Links;
  for (auto& Entry : KitState().Interfaces)
    if (SameGuid(Entry.second.Class, Class) && (Entry.second.Enabled || !EnabledOnly)) Links.push_back(Entry.first);
  return Links;
}

bool TKit::InterfaceEnabled(const std::u16string& Link) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  for (auto& Entry : KitState().Interfaces)
    if (Entry.first == Link) return Entry.second.Enabled;
  return false;
}

PDEVICE_OBJECT TKit::InterfaceDevice(const std::u16string& Link) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  for (auto& Entry : KitState().Interfaces)
    if (Entry.first == Link) return Entry.second.Device;
  return nullptr;
}

// ---- requests -----------------------------------------------------------------------------
extern "C" PIRP NTAPI IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota) {
  KitInternal::RequireIrql("IoAllocateIrp");
  (void)ChargeQuota;
  if (StackSize <= 0) {
    TKit::Fault("IoAllocateIrp with no stack locations");
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    long& Allowance = KitState().IrpAllowance;
    if (Allowance == 0) return nullptr;
    if (Allowance > 0) --Allowance;
  }
  size_t Bytes = sizeof(IRP) + StackSize * sizeof(IO_STACK_LOCATION);
  auto* Irp = static_cast<PIRP>(std::calloc(1, Bytes));
  Irp->Type = IoTypeIrp;
  Irp->Size = static_cast<USHORT>(Bytes);
  Irp->StackCount = StackSize;
  Irp->CurrentLocation = static_cast<CHAR>(StackSize + 1);
  Irp->Tail.Overlay.CurrentStackLocation = reinterpret_cast<PIO_STACK_LOCATION>(Irp + 1) + StackSize;
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  TKitIrpInfo Info;
  Info.Serial = ++KitState().IrpSerial;
  KitState().Irps[Irp] = Info;
  return Irp;
}

extern "C" void NTAPI IoFreeIrp(PIRP Irp) {
  KitInternal::RequireIrql("IoFreeIrp");
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    auto Found = State.Irps.find(Irp);
    if (Found == State.Irps.end()) {
      State.Faults.push_back("IoFreeIrp of a request that is not allocated");
      return;
    }
    // Locations whose dispatch routine is still running keep their record
    // until it returns; the others can no longer be checked.
    unsigned long long Serial = Found->second.Serial;
    auto Record = State.PendingRecords.lower_bound({Serial, -1});
    while (Record != State.PendingRecords.end() && Record->first.first == Serial)
      Record = Record->second.Depth == 0 ? State.PendingRecords.erase(Record) : std::next(Record);
    State.Irps.erase(Found);
  }
  std::free(Irp);
}

void KitInternal::KeepAfterCompletion(PIRP Irp) {
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Irps[Irp].KeptAfterCompletion = true;
}

void KitInternal::FreeCompletedIrp(PIRP Irp) {
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    auto Found = KitState().Irps.find(Irp);
    if (Found == KitState().Irps.end() || !Found->second.Finished) {
      KitState().Faults.push_back("the I/O manager freed a request that was not completed");
      return;
    }
  }
  IoFreeIrp(Irp);
}

PIRP KitInternal::AllocateThreadedIrp(CCHAR StackSize, PIO_STATUS_BLOCK IoStatus, PKEVENT Event, ULONG OutputLength) {
  PIRP Irp = IoAllocateIrp(StackSize, FALSE);
  if (Irp == nullptr) return nullptr;
  Irp->UserIosb = IoStatus;
  Irp->UserEvent = Event;
  Irp->RequestorMode = KernelMode;
  Irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  TKitIrpInfo& Info = KitState().Irps[Irp];
  Info.Threaded = true;
  Info.OutputLength = OutputLength;
  return Irp;
}

extern "C" PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject, PVOID InputBuffer,
                                                    ULONG InputBufferLength, PVOID OutputBuffer,
                                                    ULONG OutputBufferLength, BOOLEAN InternalDeviceIoControl,
                                                    PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock) {
  KitInternal::RequireIrql("IoBuildDeviceIoControlRequest");
  ULONG Method = IoControlCode & 3;
  PIRP Irp = KitInternal::AllocateThreadedIrp(DeviceObject->StackSize, IoStatusBlock, Event,
                                              Method == METHOD_BUFFERED ? OutputBufferLength : 0);
  if (Irp == nullptr) return nullptr;
  Irp->IoStatus.Status = STATUS_SUCCESS;
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Irp);
  Next->MajorFunction = InternalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
  Next->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
  Next->Parameters.DeviceIoControl.InputBufferLength = InputBufferLength;
  Next->Parameters.DeviceIoControl.OutputBufferLength = OutputBufferLength;
  if (Method == METHOD_BUFFERED) {
    ULONG Bytes = InputBufferLength > OutputBufferLength ? InputBufferLength : OutputBufferLength;
    if (Bytes != 0) {
      Irp->AssociatedIrp.SystemBuffer = KitInternal::AllocateSystemBuffer(Bytes);
      if (InputBuffer != nullptr) std::memcpy(Irp->AssociatedIrp.SystemBuffer, InputBuffer, InputBufferLength);
      Irp->Flags = IRP_BUFFERED_IO | IRP_DEALLOCATE_BUFFER | (OutputBuffer != nullptr ? IRP_INPUT_OPERATION : 0);
      Irp->UserBuffer = OutputBuffer;
    }
  } else {
    Next->Parameters.DeviceIoControl.Type3InputBuffer = InputBuffer;
    Irp->UserBuffer = OutputBuffer;
    if (Method != METHOD_NEITHER && OutputBuffer != nullptr && OutputBufferLength != 0)
      IoAllocateMdl(OutputBuffer, OutputBufferLength, FALSE, FALSE, Irp);
  }
  return Irp;
}

namespace {

// Compares what a location returned with how completion found it, once both
// are known; the misuse, if any, is returned for the caller to record
// outside the lock.
std::string CheckPendingRecord(std::map<std::pair<unsigned long long, int>, TKitPendingRecord>::iterator Record) {
  TKitPendingRecord& Seen = Record->second;
  if (!Seen.Returned || !Seen.Completed) return "";
  std::string Misuse;
  if (Seen.Inherited) {
    KitState().PendingRecords.erase(Record);
    return Misuse;
  }
  char Major[8];
  std::snprintf(Major, sizeof Major, "0x%02x", Seen.MajorFunction);
  if (Seen.Status == STATUS_PENDING && !Seen.Marked)
    Misuse = std::string("a dispatch routine (major function ") + Major +
             ") returned STATUS_PENDING for a request it did not mark pending";
  else if (Seen.Status != STATUS_PENDING && Seen.Marked)
    Misuse = std::string("a dispatch routine (major function ") + Major + ") marked a request pending but returned 0x" +
             Hex(ULONG(Seen.Status), 8) + " instead of STATUS_PENDING";
  KitState().PendingRecords.erase(Record);
  return Misuse;
}

void RecordMisuse(const std::string& Misuse) {
  if (!Misuse.empty()) TKit::Fault(Misuse);
}

}  // namespace

extern "C" NTSTATUS NTAPI IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  KitInternal::RequireIrql("IofCallDriver");
  unsigned long long Serial;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitState& State = KitState();
    auto Found = State.Irps.find(Irp);
    if (Found == State.Irps.end()) {
      State.Faults.push_back("IofCallDriver with a request that is not allocated");
      return STATUS_INVALID_PARAMETER;
    }
    Serial = Found->second.Serial;
    // A deleted device still gets the requests of the handles open on it,
    // as Windows delivers them until the last one is closed; nothing else
    // may reach it.
    bool OnOpenHandle = Irp->Tail.Overlay.OriginalFileObject != nullptr && State.Devices.count(DeviceObject) != 0 &&
                        DeviceObject->DeviceObjectExtension->OpenFiles > 0;
    if (State.Devices.count(DeviceObject) == 0 || (DeviceObject->DeviceObjectExtension->Deleted && !OnOpenHandle)) {
      State.Faults.push_back("IofCallDriver to a deleted device");
      return STATUS_NO_SUCH_DEVICE;
    }
  }
  if (Irp->CurrentLocation <= 1) {
    TKit::Fault("IofCallDriver with no stack location left for the driver below");
    return STATUS_INVALID_PARAMETER;
  }
  IoSetNextIrpStackLocation(Irp);
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
  Stack->DeviceObject = DeviceObject;
  std::pair<unsigned long long, int> Key{Serial, Irp->CurrentLocation};
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitPendingRecord& Record = KitState().PendingRecords[Key];
    if (Record.Depth == 0) {
      Record = TKitPendingRecord{};
      Record.Inherited = (Stack->Control & SL_PENDING_RETURNED) != 0;
    }
    ++Record.Depth;
    Record.MajorFunction = Stack->MajorFunction;
  }
  // The request may be gone once the routine returns; only the key is used.
  int LocksBefore = KitInternal::SpinLocksHeld();
  KIRQL IrqlBefore = KeGetCurrentIrql();
  UCHAR Major = Stack->MajorFunction;
  NTSTATUS Status = DeviceObject->DriverObject->MajorFunction[Major](DeviceObject, Irp);
  if (KitInternal::SpinLocksHeld() != LocksBefore || KeGetCurrentIrql() != IrqlBefore) {
    char Text[8];
    std::snprintf(Text, sizeof Text, "0x%02x", Major);
    TKit::Fault(std::string("a dispatch routine (major function ") + Text +
                ") returned with a spin lock held or the IRQL changed");
  }
  std::string Misuse;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    auto Record = KitState().PendingRecords.find(Key);
    if (Record != KitState().PendingRecords.end() && --Record->second.Depth == 0) {
      Record->second.Returned = true;
      Record->second.Status = Status;
      Misuse = CheckPendingRecord(Record);
    }
  }
  RecordMisuse(Misuse);
  return Status;
}

namespace {

// The last step of completion, once no driver holds the request any more.
void FinishRequest(PIRP Irp) {
  TKitIrpInfo Info;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    Info = KitState().Irps[Irp];
  }
  if (!Info.Threaded) {
    TKit::Fault("a request allocated by a driver was completed past its top stack location");
    return;
  }
  if ((Irp->Flags & IRP_BUFFERED_IO) && (Irp->Flags & IRP_INPUT_OPERATION) && Irp->UserBuffer != nullptr &&
      !NT_ERROR(Irp->IoStatus.Status)) {
    ULONG_PTR Bytes = Irp->IoStatus.Information;
    if (Bytes > Info.OutputLength) {
      TKit::Fault("a request reported " + std::to_string(Bytes) + " bytes for a buffer of " +
                  std::to_string(Info.OutputLength));
      Bytes = Info.OutputLength;
    }
    std::memcpy(Irp->UserBuffer, Irp->AssociatedIrp.SystemBuffer, Bytes);
  }
  if ((Irp->Flags & IRP_DEALLOCATE_BUFFER) && Irp->AssociatedIrp.SystemBuffer != nullptr)
    KitInternal::FreeSystemBuffer(Irp->AssociatedIrp.SystemBuffer);
  while (Irp->MdlAddress != nullptr) {
    PMDL Next = Irp->MdlAddress->Next;
    IoFreeMdl(Irp->MdlAddress);
    Irp->MdlAddress = Next;
  }
  if (Irp->UserIosb != nullptr) *Irp->UserIosb = Irp->IoStatus;
  PKEVENT Event = Irp->UserEvent;
  bool Keep;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    TKitIrpInfo& Kept = KitState().Irps[Irp];
    Keep = Kept.KeptAfterCompletion;
    Kept.Finished = true;
  }
  if (!Keep) IoFreeIrp(Irp);
  if (Event != nullptr) KeSetEvent(Event, IO_NO_INCREMENT, FALSE);
}

}  // namespace

extern "C" void NTAPI IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost) {
  KitInternal::RequireIrql("IofCompleteRequest");
  (void)PriorityBoost;
  unsigned long long Serial;
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    auto Found = KitState().Irps.find(Irp);
    if (Found == KitState().Irps.end()) {
      KitState().Faults.push_back("IofCompleteRequest of a request that is not allocated (completed twice?)");
      return;
    }
    Serial = Found->second.Serial;
  }
  if (Irp->CurrentLocation > Irp->StackCount) {
    TKit::Fault("IofCompleteRequest of a request that no driver holds (completed twice?)");
    return;
  }
  if (Irp->IoStatus.Status == STATUS_PENDING) TKit::Fault("a request completed with STATUS_PENDING");
  // A cancel routine left in a completed request would run on freed memory.
  if (__atomic_load_n(&Irp->CancelRoutine, __ATOMIC_SEQ_CST) != nullptr)
    TKit::Fault("a request completed with its cancel routine still set");

  for (;;) {
    PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
    UCHAR Control = Stack->Control;
    NTSTATUS Status = Irp->IoStatus.Status;
    {
      std::string Misuse;
      {
        std::lock_guard<std::mutex> Lock(KitState().Mutex);
        auto Record = KitState().PendingRecords.find({Serial, Irp->CurrentLocation});
        if (Record != KitState().PendingRecords.end()) {
          Record->second.Completed = true;
          Record->second.Marked = (Control & SL_PENDING_RETURNED) != 0;
          Misuse = CheckPendingRecord(Record);
        }
      }
      RecordMisuse(Misuse);
    }
    Irp->PendingReturned = (Control & SL_PENDING_RETURNED) != 0;
    PIO_COMPLETION_ROUTINE Routine = Stack->CompletionRoutine;
    PVOID Context = Stack->Context;
    bool Invoke = Routine != nullptr && ((NT_SUCCESS(Status) && (Control & SL_INVOKE_ON_SUCCESS)) ||
                                         (!NT_SUCCESS(Status) && (Control & SL_INVOKE_ON_ERROR)) ||
                                         (Irp->Cancel && (Control & SL_INVOKE_ON_CANCEL)));
    Stack->CompletionRoutine = nullptr;
    Stack->Context = nullptr;
    Stack->Control = 0;
    IoSkipCurrentIrpStackLocation(Irp);
    bool AtTop = Irp->CurrentLocation > Irp->StackCount;
    if (Invoke) {
      PDEVICE_OBJECT Upper = AtTop ? nullptr : IoGetCurrentIrpStackLocation(Irp)->DeviceObject;
      int LocksBefore = KitInternal::SpinLocksHeld();
      NTSTATUS Continue = Routine(Upper, Irp, Context);
      if (KitInternal::SpinLocksHeld() != LocksBefore) TKit::Fault("a completion routine returned with a spin lock held");
      if (Continue == STATUS_MORE_PROCESSING_REQUIRED) return;
    } else if (Irp->PendingReturned && !AtTop) {
      IoMarkIrpPending(Irp);
    }
    if (AtTop) break;
  }
  FinishRequest(Irp);
}

// As Windows does it: the cancel routine is called at DISPATCH_LEVEL with the
// cancel spin lock held, and must release it with the IRP's CancelIrql.
extern "C" BOOLEAN NTAPI IoCancelIrp(PIRP Irp) {
  KitInternal::RequireIrql("IoCancelIrp");
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    auto Found = KitState().Irps.find(Irp);
    if (Found == KitState().Irps.end()) {
      KitState().Faults.push_back("IoCancelIrp of a request that is not allocated (freed already?)");
      return FALSE;
    }
    // Completed, and only waiting for its thread to free it: too late.
    if (Found->second.Finished) return FALSE;
  }
  KIRQL Old;
  IoAcquireCancelSpinLock(&Old);
  int LocksHeld = KitInternal::SpinLocksHeld();
  __atomic_store_n(&Irp->Cancel, TRUE, __ATOMIC_SEQ_CST);
  PDRIVER_CANCEL Routine = IoSetCancelRoutine(Irp, nullptr);
  if (Routine == nullptr) {
    IoReleaseCancelSpinLock(Old);
    return FALSE;
  }
  Irp->CancelIrql = Old;
  PIO_STACK_LOCATION Stack = IoGetCurrentIrpStackLocation(Irp);
  Routine(Stack->DeviceObject, Irp);
  if (KitInternal::SpinLocksHeld() != LocksHeld - 1 || KeGetCurrentIrql() != Old)
    TKit::Fault("a cancel routine returned without releasing the cancel spin lock (or with another lock held)");
  return TRUE;
}

// ---- memory descriptors --------------------------------------------------------------------
extern "C" PMDL NTAPI IoAllocateMdl(PVOID VirtualAddress, ULONG Length, BOOLEAN SecondaryBuffer, BOOLEAN ChargeQuota,
                                    PIRP Irp) {
  KitInternal::RequireIrql("IoAllocateMdl");
  (void)ChargeQuota;
  auto* Mdl = static_cast<PMDL>(std::calloc(1, sizeof(MDL)));
  Mdl->Size = sizeof(MDL);
  Mdl->StartVa = VirtualAddress;
  Mdl->MappedSystemVa = VirtualAddress;
  Mdl->ByteCount = Length;
  if (Irp != nullptr) {
    if (SecondaryBuffer) {
      PMDL* Tail = &Irp->MdlAddress;
      while (*Tail != nullptr) Tail = &(*Tail)->Next;
      *Tail = Mdl;
    } else {
      Irp->MdlAddress = Mdl;
    }
  }
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().Mdls.insert(Mdl);
  return Mdl;
}

extern "C" void NTAPI IoBuildPartialMdl(PMDL SourceMdl, PMDL TargetMdl, PVOID VirtualAddress, ULONG Length) {
  KitInternal::RequireIrql("IoBuildPartialMdl");
  PUCHAR Base = static_cast<PUCHAR>(MmGetMdlVirtualAddress(SourceMdl));
  PUCHAR Start = static_cast<PUCHAR>(VirtualAddress);
  ULONG Offset = static_cast<ULONG>(Start - Base);
  if (Start < Base || Offset > SourceMdl->ByteCount) {
    TKit::Fault("IoBuildPartialMdl outside the source buffer");
    return;
  }
  if (Length == 0) Length = SourceMdl->ByteCount - Offset;
  if (Offset + Length > SourceMdl->ByteCount) TKit::Fault("IoBuildPartialMdl past the end of the source buffer");
  TargetMdl->StartVa = VirtualAddress;
  TargetMdl->ByteOffset = 0;
  TargetMdl->ByteCount = Length;
  TargetMdl->MappedSystemVa = VirtualAddress;
}

extern "C" void NTAPI IoFreeMdl(PMDL Mdl) {
  KitInternal::RequireIrql("IoFreeMdl");
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    if (KitState().Mdls.erase(Mdl) == 0) {
      KitState().Faults.push_back("IoFreeMdl of a descriptor that is not allocated");
      return;
    }
  }
  std::free(Mdl);
}

// ---- power -------------------------------------------------------------------------------------
extern "C" void NTAPI PoStartNextPowerIrp(PIRP Irp) {
  KitInternal::RequireIrql("PoStartNextPowerIrp");
  if (IoGetCurrentIrpStackLocation(Irp)->MajorFunction != IRP_MJ_POWER)
    TKit::Fault("PoStartNextPowerIrp on a request that is not a power request");
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  ++KitState().PowerStarted;
}

extern "C" NTSTATUS NTAPI PoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
  KitInternal::RequireIrql("PoCallDriver");
  return IofCallDriver(DeviceObject, Irp);
}

// The power manager's own request, as Windows carries it out: the call
// returns pending at once; a worker thread of the power manager sends the
// request to the top of the device's stack (at PASSIVE_LEVEL, as for a
// device whose power code is pageable) and, once it has completed, runs the
// callback at DISPATCH_LEVEL, the level completions come at.
namespace {
struct TPowerRequestJob {
  PDEVICE_OBJECT Device;
  PDEVICE_OBJECT Top;
  UCHAR MinorFunction;
  POWER_STATE PowerState;
  PREQUEST_POWER_COMPLETE CompletionFunction;
  PVOID Context;
  PIRP Irp;
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
};

void RunPowerRequest(std::unique_ptr<TPowerRequestJob> Job) {
  IofCallDriver(Job->Top, Job->Irp);
  KeWaitForSingleObject(&Job->Done, Executive, KernelMode, FALSE, nullptr);
  if (Job->CompletionFunction != nullptr) {
    KitInternal::TIrqlScope Dispatch(DISPATCH_LEVEL);
    Job->CompletionFunction(Job->Device, Job->MinorFunction, Job->PowerState, Job->Context, &Job->IoStatus);
  }
}
}  // namespace

extern "C" NTSTATUS NTAPI PoRequestPowerIrp(PDEVICE_OBJECT DeviceObject, UCHAR MinorFunction, POWER_STATE PowerState,
                                            PREQUEST_POWER_COMPLETE CompletionFunction, PVOID Context, PIRP* Irp) {
  if (Irp != nullptr) *Irp = nullptr;
  KitInternal::RequireIrql("PoRequestPowerIrp");
  {
    std::lock_guard<std::mutex> Lock(KitState().Mutex);
    ++KitState().PowerRequested;
    if (KitState().PowerRequestFailure != STATUS_SUCCESS) return KitState().PowerRequestFailure;
  }
  if (MinorFunction != IRP_MN_SET_POWER && MinorFunction != IRP_MN_QUERY_POWER && MinorFunction != IRP_MN_WAIT_WAKE)
    return STATUS_INVALID_PARAMETER_2;
  auto Job = std::make_unique<TPowerRequestJob>();
  Job->Device = DeviceObject;
  Job->Top = IoGetAttachedDevice(DeviceObject);
  Job->MinorFunction = MinorFunction;
  Job->PowerState = PowerState;
  Job->CompletionFunction = CompletionFunction;
  Job->Context = Context;
  KeInitializeEvent(&Job->Done, NotificationEvent, FALSE);
  Job->Irp = KitInternal::AllocateThreadedIrp(Job->Top->StackSize, &Job->IoStatus, &Job->Done, 0);
  if (Job->Irp == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  PIO_STACK_LOCATION Next = IoGetNextIrpStackLocation(Job->Irp);
  Next->MajorFunction = IRP_MJ_POWER;
  Next->MinorFunction = MinorFunction;
  Next->Parameters.Power.Type = DevicePowerState;
  Next->Parameters.Power.State = PowerState;
  Job->IoStatus.Status = STATUS_PENDING;
  if (Irp != nullptr) *Irp = Job->Irp;
  std::lock_guard<std::mutex> Lock(KitState().Mutex);
  KitState().PowerWorkers.emplace_back(RunPowerRequest, std::move(Job));
  return STATUS_PENDING;
}
