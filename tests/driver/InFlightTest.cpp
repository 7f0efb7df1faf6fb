// SPDX-License-Identifier: GPL-3.0-or-later
// Requests in flight, in either build: a read the cable never answers must
// end when it is cancelled or its thread ends, so that a killed program
// leaves nothing stuck in the driver and a stop or removal can finish; a
// read waiting on one handle must not keep another handle's write from
// going out; and only those the device's security admits may open it.
#include <atomic>

#include "tests/driver/DriverRig.h"

namespace {

class InFlightTest : public DriverTest {
protected:
  TIoFile* File = nullptr;

  void Start() {
    Rig().AddAndStart();
    ASSERT_EQ(Rig().Open(&File), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (File) TIoManager::Close(File);
    DriverTest::TearDown();
  }
};
FQ_DRIVER_TEST_MODES(InFlightTest);

TEST_P(InFlightTest, AReadTheCableNeverAnswersEndsCancelledAndTheStopThenFinishes) {
  struct TCase {
    const char* What;
    ULONG Length;          // one transfer, or (x86) three stages
    bool ByThreadExit;     // else cancelled by the program (CancelIoEx)
  };
  const TCase Cases[] = {{"64 bytes, cancelled", 64, false},
                         {"64 bytes, thread ends", 64, true},
                         {"5000 bytes, cancelled", 5000, false},
                         {"5000 bytes, thread ends", 5000, true}};
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    std::vector<uint8_t> Buffer(Case.Length, 0xEE);
    std::atomic<bool> Done{false};
    NTSTATUS Status = STATUS_PENDING;
    ULONG_PTR Moved = 99;
    TIoRequest* Request = nullptr;
    std::atomic<TIoRequest*> Started{nullptr};
    std::thread::id ReaderId;
    std::thread Reader([&] {
      Request = TIoManager::StartRead(File, Buffer.data(), Case.Length);
      Started = Request;
      Status = TIoManager::Wait(Request, &Moved);
      Done = true;
    });
    ReaderId = Reader.get_id();
    // Expectations only from here on: the reader must be joined whatever fails.
    EXPECT_TRUE(WaitUntil([&] { return Started.load() != nullptr && Rig().Bus.WaitingTransfers() >= 1; }));
    EXPECT_FALSE(Done);
    if (Case.ByThreadExit)
      EXPECT_EQ(TIoManager::CancelThreadIo(ReaderId), 1u);
    else
      EXPECT_TRUE(TIoManager::Cancel(Started.load()));
    bool Ended = WaitUntil([&] { return Done.load(); });
    EXPECT_TRUE(Ended) << "the read stayed in the driver";
    if (!Ended) Rig().Bus.Unplug();   // frees the reader so the test can end
    Reader.join();
    if (!Ended) return;
    EXPECT_EQ(Status, STATUS_CANCELLED);
    EXPECT_EQ(Moved, 0u);
    EXPECT_EQ(Rig().Bus.WaitingTransfers(), 0u);
    EXPECT_TRUE(IdleAgain(Rig()));
    // The device still works after the cancel.
    Rig().Cable.QueueReply({1, 2, 3, 4});
    std::vector<uint8_t> Reply(4);
    EXPECT_EQ(Rig().Read(File, Reply, &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, 4u);
  }
  // A stop waits for transfers in flight: with the cancelled one gone it
  // goes through at once, and the device starts again.
  EXPECT_EQ(Rig().Pnp.QueryStop(Rig().Bus), STATUS_SUCCESS);
  EXPECT_EQ(Rig().Pnp.Stop(Rig().Bus), STATUS_SUCCESS);
  EXPECT_EQ(Rig().Pnp.Start(Rig().Bus), STATUS_SUCCESS);
  EXPECT_TRUE(IdleAgain(Rig()));
}

// The program's command goes out on one handle while a read for the reply
// of another waits on another: the write must not be refused.
TEST_P(InFlightTest, AWriteOnOneHandleGoesOutWhileAReadWaitsOnAnother) {
  Start();
  TIoFile* Other = nullptr;
  ASSERT_EQ(Rig().Open(&Other), STATUS_SUCCESS);
  for (int Round = 0; Round < 4; ++Round) {
    SCOPED_TRACE(Round);
    std::vector<uint8_t> Reply(64);
    NTSTATUS ReadStatus = STATUS_PENDING;
    ULONG_PTR ReadBytes = 0;
    std::thread Reader([&] { ReadStatus = Rig().Read(File, Reply, &ReadBytes); });
    EXPECT_TRUE(WaitUntil([&] { return Rig().Bus.WaitingTransfers() == 1; }));
    NTSTATUS WriteStatus = STATUS_PENDING;
    ULONG_PTR Written = 0;
    std::thread Writer([&] { WriteStatus = Rig().Write(Other, std::vector<uint8_t>(9, uint8_t(Round)), &Written); });
    Writer.join();
    EXPECT_EQ(WriteStatus, STATUS_SUCCESS);
    EXPECT_EQ(Written, 9u);
    Rig().Cable.QueueReply(std::vector<uint8_t>(64, uint8_t(0x40 + Round)));
    Rig().Bus.ServicePending();
    Reader.join();
    EXPECT_EQ(ReadStatus, STATUS_SUCCESS);
    EXPECT_EQ(ReadBytes, 64u);
    EXPECT_EQ(Reply[0], 0x40 + Round);
  }
  EXPECT_EQ(Rig().Cable.Written().size(), 4u);
  TIoManager::Close(Other);
  EXPECT_TRUE(IdleAgain(Rig()));
}

// The device's security admits the system, administrators and the
// interactive user. Anyone may still open a handle that asks for no access,
// but it can read, write and reset nothing; and a name tacked onto the
// device's must neither slip past the security nor be accepted.
TEST_P(InFlightTest, OnlyThoseTheSecurityAdmitsOpenTheDeviceForUse) {
  struct TCase {
    const char* What;
    TOpenOptions Options;
    NTSTATUS Status;
  };
  const TCase Cases[] = {
      {"the interactive user", {}, STATUS_SUCCESS},
      {"the interactive user, a name beyond the device", {FILE_READ_DATA | FILE_WRITE_DATA, u"\\extra", false},
       STATUS_OBJECT_NAME_NOT_FOUND},
      {"another user", {FILE_READ_DATA | FILE_WRITE_DATA, u"", true}, STATUS_ACCESS_DENIED},
      {"another user, a name beyond the device", {FILE_READ_DATA | FILE_WRITE_DATA, u"\\extra", true},
       STATUS_ACCESS_DENIED},
      {"another user, no access", {0, u"", true}, STATUS_SUCCESS},
  };
  Rig().AddAndStart();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TIoFile* Opened = nullptr;
    EXPECT_EQ(TIoManager::Open(Rig().Link(), &Opened, Case.Options), Case.Status);
    if (Opened == nullptr) continue;
    if (Case.Options.Access == 0) {
      std::vector<uint8_t> Buffer(9);
      EXPECT_EQ(Rig().Write(Opened, Buffer), STATUS_ACCESS_DENIED);
      EXPECT_EQ(Rig().Read(Opened, Buffer), STATUS_ACCESS_DENIED);
    }
    TIoManager::Close(Opened);
  }
  EXPECT_TRUE(Rig().Bus.Transfers().empty());
  EXPECT_EQ(Rig().OpenHandles(), 0);
}

// After a surprise removal and the removal, a handle still open gets its
// requests delivered to the driver, which must refuse them itself.
TEST_P(InFlightTest, AHandleLeftOpenPastTheRemovalIsRefusedByTheDriver) {
  Start();
  ASSERT_EQ(Rig().Pnp.SurpriseRemoval(Rig().Bus), STATUS_SUCCESS);
  ASSERT_EQ(Rig().Pnp.Remove(Rig().Bus), STATUS_SUCCESS);
  std::vector<uint8_t> Buffer(9);
  ULONG_PTR Moved = 99;
  NTSTATUS Write = Rig().Write(File, Buffer, &Moved);
  EXPECT_TRUE(Write == STATUS_DEVICE_NOT_CONNECTED || Write == STATUS_DELETE_PENDING) << std::hex << Write;
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(TIoManager::Close(File), STATUS_SUCCESS);
  File = nullptr;
  EXPECT_TRUE(Rig().Bus.Transfers().empty());
}

}  // namespace
