// SPDX-License-Identifier: GPL-3.0-or-later
// The data path: one request, one bulk transfer on the right pipe, and the
// byte count the caller gets back is what actually moved.
#include <numeric>

#include "driver/kit/SyncRequest.h"
#include "tests/driver/DriverRig.h"

namespace {

class TransferTest : public DriverTest {
protected:
  TIoFile* File = nullptr;

  void Start(TUsbBus::TConfig Config = {}) {
    TDriverRig& R = Rig(std::move(Config));
    R.AddAndStart();
    ASSERT_EQ(R.Open(&File), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (File) TIoManager::Close(File);
    DriverTest::TearDown();
  }
};
FQ_DRIVER_TEST_MODES(TransferTest);

std::vector<uint8_t> Pattern(size_t Bytes) {
  std::vector<uint8_t> Data(Bytes);
  for (size_t Index = 0; Index < Bytes; ++Index) Data[Index] = uint8_t(Index * 7 + 3);
  return Data;
}

TEST_P(TransferTest, ANineByteWriteIsOneNineByteBulkOutOnEndpoint02) {
  Start();
  const std::vector<uint8_t> Command = {0xFF, 0, 0, 0x80, 0, 0, 0, 2, 0};
  ULONG_PTR Moved = 0;
  EXPECT_EQ(Rig().Write(File, Command, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 9u);
  auto Transfers = Rig().Bus.Transfers();
  ASSERT_EQ(Transfers.size(), 1u);
  EXPECT_EQ(Transfers[0].Endpoint, 0x02);
  EXPECT_EQ(Transfers[0].RequestedLength, 9u);
  EXPECT_EQ(Transfers[0].TransferFlags, ULONG(USBD_SHORT_TRANSFER_OK));
  EXPECT_EQ(Rig().Cable.Written(), std::vector<std::vector<uint8_t>>{Command});
}

TEST_P(TransferTest, AReadReportsTheBytesTheCableSent) {
  struct TCase {
    size_t Requested;
    size_t Sent;
  };
  // Short replies must come back short; 65536 and more must not wrap.
  const TCase Cases[] = {{4, 4}, {4, 2}, {512, 511}, {65536, 65536}, {65537, 65537}, {70000, 1}};
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Requested << " asked, " << Case.Sent << " sent");
    std::vector<uint8_t> Reply = Pattern(Case.Sent);
    Rig().Cable.QueueReply(Reply);
    std::vector<uint8_t> Buffer(Case.Requested, 0xEE);
    ULONG_PTR Moved = 0;
    EXPECT_EQ(Rig().Read(File, Buffer, &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Case.Sent);
    EXPECT_TRUE(std::equal(Reply.begin(), Reply.end(), Buffer.begin()));
    TUsbRequest Last = Rig().Bus.Transfers().back();
    EXPECT_EQ(Last.Endpoint, 0x81);
    EXPECT_EQ(Last.RequestedLength, Case.Requested);
    EXPECT_EQ(Last.TransferFlags, ULONG(USBD_TRANSFER_DIRECTION_IN));
  }
  EXPECT_EQ(Rig().Bus.Transfers().size(), std::size(Cases));
}

// The cable's endpoint takes 64-byte packets. A read whose buffer has less
// room than the packet the cable sends next overruns, as on Windows: the
// read fails and that packet is lost; what did not fit in a whole-packet
// read stays for the next one.
TEST_P(TransferTest, BulkInComesInPacketsAndAShortBufferOverruns) {
  struct TCase {
    size_t Reply;
    size_t Requested;
    NTSTATUS Status;
    size_t Moved;      // bytes reported by a read that succeeds
    size_t NextRead;   // bytes the following 256-byte read gets (the rest of the reply)
  };
  const TCase Cases[] = {
      {10, 4, STATUS_UNSUCCESSFUL, 0, 0},        // the one packet is lost
      {100, 64, STATUS_SUCCESS, 64, 36},         // a whole packet; the short one stays
      {150, 100, STATUS_UNSUCCESSFUL, 64, 22},   // the second packet overruns the 36 left
      {150, 160, STATUS_SUCCESS, 150, 0},
  };
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Reply << " sent, " << Case.Requested << " asked");
    std::vector<uint8_t> Reply = Pattern(Case.Reply);
    Rig().Cable.QueueReply(Reply);
    std::vector<uint8_t> Buffer(Case.Requested);
    ULONG_PTR Moved = 99;
    EXPECT_EQ(Rig().Read(File, Buffer, &Moved), Case.Status);
    if (NT_SUCCESS(Case.Status)) {
      EXPECT_EQ(Moved, Case.Moved);
      EXPECT_TRUE(std::equal(Buffer.begin(), Buffer.begin() + long(Case.Moved), Reply.begin()));
    }
    // A marker reply tells the rest of this reply from the next one.
    Rig().Cable.QueueReply({0xA5});
    std::vector<uint8_t> Next(256);
    EXPECT_EQ(Rig().Read(File, Next, &Moved), STATUS_SUCCESS);
    if (Case.NextRead != 0) {
      EXPECT_EQ(Moved, Case.NextRead);
      EXPECT_TRUE(std::equal(Next.begin(), Next.begin() + long(Moved), Reply.end() - long(Case.NextRead)));
      EXPECT_EQ(Rig().Read(File, Next, &Moved), STATUS_SUCCESS);
    }
    EXPECT_EQ(Moved, 1u);
    EXPECT_EQ(Next[0], 0xA5);
  }
}

TEST_P(TransferTest, ALargeWriteIsOneTransferAndReportsItsFullLength) {
  Start();
  for (size_t Bytes : {65536u, 65537u}) {
    ULONG_PTR Moved = 0;
    EXPECT_EQ(Rig().Write(File, Pattern(Bytes), &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Bytes);
    EXPECT_EQ(Rig().Bus.Transfers().back().RequestedLength, Bytes);
  }
  EXPECT_EQ(Rig().Bus.Transfers().size(), 2u);
}

TEST_P(TransferTest, ZeroLengthRequestsGoDownWithNoBuffer) {
  Start();
  std::vector<uint8_t> Nothing;
  ULONG_PTR Moved = 99;
  EXPECT_EQ(Rig().Write(File, Nothing, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Rig().Read(File, Nothing, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 0u);
  auto Transfers = Rig().Bus.Transfers();
  ASSERT_EQ(Transfers.size(), 2u);
  for (auto& Transfer : Transfers) {
    EXPECT_EQ(Transfer.RequestedLength, 0u);
    EXPECT_TRUE(Transfer.NullBuffer);
  }
}

TEST_P(TransferTest, TransfersAfterTheCableIsPulledFail) {
  Start();
  Rig().Bus.Unplug();
  std::vector<uint8_t> Buffer(4);
  ULONG_PTR Moved = 99;
  EXPECT_EQ(Rig().Read(File, Buffer, &Moved), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Rig().Write(File, Buffer, &Moved), STATUS_DEVICE_NOT_CONNECTED);
  // The reference goes back just after the request completes, on the bus's
  // thread when it completes later.
  EXPECT_TRUE(IdleAgain(Rig()));
}

TEST_P(TransferTest, ResourceShortagesFailTheRequestAndGiveTheReferenceBack) {
  Start();
  // Neither the URB nor the internal request to the bus: nothing moved, so
  // the caller's request reports no bytes, whichever way it goes.
  struct TCase {
    const char* What;
    bool FailIrp;
    bool FromDevice;
  };
  const TCase Cases[] = {{"URB, write", false, false},
                         {"URB, read", false, true},
                         {"internal request, write", true, false},
                         {"internal request, read", true, true}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    std::vector<uint8_t> Buffer(9, 'D');
    if (Case.FailIrp)
      TKit::FailIrpsAfter(1);   // the caller's request goes through
    else
      TKit::FailPoolAfter(0);
    ULONG_PTR Moved = 99;
    NTSTATUS Status = Case.FromDevice ? Rig().Read(File, Buffer, &Moved) : Rig().Write(File, Buffer, &Moved);
    TKit::FailIrpAllocations(false);
    TKit::FailPoolAfter(-1);
    EXPECT_EQ(Status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(Moved, 0u);
  }
  EXPECT_TRUE(Rig().Bus.Transfers().empty());
  EXPECT_TRUE(IdleAgain(Rig()));
  EXPECT_EQ(Rig().Write(File, std::vector<uint8_t>(9, 'D')), STATUS_SUCCESS);
}

TEST_P(TransferTest, ConcurrentRequestsFromSeveralThreadsAllGoThrough) {
  Start();
  constexpr int Threads = 4, Writes = 50;
  std::vector<std::thread> Writers;
  std::vector<int> Failures(Threads, 0);
  for (int Thread = 0; Thread < Threads; ++Thread) {
    Writers.emplace_back([&, Thread] {
      TIoFile* Own = nullptr;
      if (Rig().Open(&Own) != STATUS_SUCCESS) {
        Failures[Thread] = Writes;
        return;
      }
      for (int Write = 0; Write < Writes; ++Write)
        if (Rig().Write(Own, std::vector<uint8_t>(9, uint8_t(Thread))) != STATUS_SUCCESS) ++Failures[Thread];
      TIoManager::Close(Own);
    });
  }
  for (auto& Writer : Writers) Writer.join();
  EXPECT_EQ(Failures, std::vector<int>(Threads, 0));
  EXPECT_EQ(Rig().Cable.Written().size(), size_t(Threads * Writes));
  // Each transfer gives its reference back just after its request completes.
  EXPECT_TRUE(IdleAgain(Rig()));
  EXPECT_EQ(Rig().OpenHandles(), 1);
}

}  // namespace

namespace {

// Drivers that give up on a transfer (the 32-bit build cancels its stages)
// need the bus to let go of a bulk IN that waits for the cable.
TEST_P(TransferTest, AWaitingBulkInIsCancelledAtTheBus) {
  Start();
  PDEVICE_EXTENSION X = Rig().Extension();
  URB Urb{};
  Urb.UrbHeader.Length = sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER);
  Urb.UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
  Urb.UrbBulkOrInterruptTransfer.PipeHandle = X->InterfaceInfo->Pipes[X->BulkInPipeIndex].PipeHandle;
  Urb.UrbBulkOrInterruptTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
  uint8_t Buffer[8];
  Urb.UrbBulkOrInterruptTransfer.TransferBuffer = Buffer;
  Urb.UrbBulkOrInterruptTransfer.TransferBufferLength = sizeof Buffer;

  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PDEVICE_OBJECT Port = Rig().Bus.PhysicalDevice();
  PIRP Irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, Port, nullptr, 0, nullptr, 0, TRUE, &Done, &IoStatus);
  ASSERT_NE(Irp, nullptr);
  IoGetNextIrpStackLocation(Irp)->Parameters.Others.Argument1 = &Urb;
  ASSERT_EQ(IoCallDriver(Port, Irp), STATUS_PENDING);
  EXPECT_TRUE(WaitUntil([&] { return Rig().Bus.WaitingTransfers() == 1; }));
  EXPECT_TRUE(IoCancelIrp(Irp));
  KeWaitForSingleObject(&Done, Executive, KernelMode, FALSE, nullptr);
  EXPECT_EQ(IoStatus.Status, STATUS_CANCELLED);
  EXPECT_EQ(Urb.UrbHeader.Status, USBD_STATUS_CANCELED);
  EXPECT_EQ(Urb.UrbBulkOrInterruptTransfer.TransferBufferLength, 0u);
  EXPECT_EQ(Rig().Bus.WaitingTransfers(), 0u);
}

}  // namespace

namespace {

// Overlapped writes on one handle: all in flight at once, they reach the
// cable in the order the program submitted them.
TEST_P(TransferTest, SeveralWritesInFlightOnOneHandleReachTheCableInSubmissionOrder) {
  Start();
  if (GetParam() == TUsbBus::TCompletion::Later) Rig().Bus.HoldCompletions();
  std::vector<std::vector<uint8_t>> Packets;
  for (uint8_t Index = 0; Index < 8; ++Index) Packets.push_back(std::vector<uint8_t>(9 + Index, uint8_t(0x30 + Index)));
  std::vector<TIoRequest*> Requests;
  for (auto& Packet : Packets) Requests.push_back(TIoManager::StartWrite(File, Packet.data(), ULONG(Packet.size())));
  if (GetParam() == TUsbBus::TCompletion::Later) {
    EXPECT_TRUE(WaitUntil([&] { return Rig().Bus.HeldCompletions() == Packets.size(); }));
    Rig().Bus.ReleaseCompletions();
  }
  for (size_t Index = 0; Index < Requests.size(); ++Index) {
    ULONG_PTR Moved = 0;
    EXPECT_EQ(TIoManager::Wait(Requests[Index], &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Packets[Index].size());
  }
  EXPECT_EQ(Rig().Cable.Written(), Packets);
  EXPECT_TRUE(IdleAgain(Rig()));
}

TEST_P(TransferTest, SystemControlRequestsGoDownToTheBus) {
  Start();
  PDEVICE_OBJECT Top = IoGetAttachedDevice(Rig().Bus.PhysicalDevice());
  KEVENT Done;
  IO_STATUS_BLOCK IoStatus;
  KeInitializeEvent(&Done, NotificationEvent, FALSE);
  PIRP Irp = KitInternal::AllocateThreadedIrp(Top->StackSize, &IoStatus, &Done, 0);
  IoGetNextIrpStackLocation(Irp)->MajorFunction = IRP_MJ_SYSTEM_CONTROL;
  // It ends with the status it came with: the port has no data blocks.
  EXPECT_EQ(KitSendAndWait(Top, Irp, &Done, &IoStatus, "a system control request"), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Rig().Bus.SystemControlRequests(), 1);
  EXPECT_TRUE(IdleAgain(Rig()));
}

}  // namespace
