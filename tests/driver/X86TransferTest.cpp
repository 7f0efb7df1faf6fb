// SPDX-License-Identifier: GPL-3.0-or-later
// The x86 build's data path: requests up to one stage are one transfer on
// the request itself, longer ones go out as stages all in flight at once,
// and the byte count is what actually moved.
#include <atomic>
#include <numeric>

#include "tests/driver/DriverRig.h"

namespace {

class X86TransferTest : public DriverTest {
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
  std::vector<ULONG> Lengths() {
    std::vector<ULONG> Result;
    for (auto& Transfer : Rig().Bus.Transfers()) Result.push_back(Transfer.RequestedLength);
    return Result;
  }
};
FQ_DRIVER_TEST_MODES(X86TransferTest);

std::vector<uint8_t> Pattern(size_t Bytes, uint8_t Seed = 3) {
  std::vector<uint8_t> Data(Bytes);
  for (size_t Index = 0; Index < Bytes; ++Index) Data[Index] = uint8_t(Index * 7 + Seed + Index / 251);
  return Data;
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& Parts) {
  std::vector<uint8_t> All;
  for (auto& Part : Parts) All.insert(All.end(), Part.begin(), Part.end());
  return All;
}

TEST_P(X86TransferTest, AOneStageReadReportsWhatTheCableSent) {
  struct TCase {
    size_t Requested, Sent;
  };
  const TCase Cases[] = {{4, 4}, {4, 2}, {9, 0}, {2048, 2048}, {2048, 100}};
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Requested << " asked, " << Case.Sent << " sent");
    std::vector<uint8_t> Reply = Pattern(Case.Sent);
    Rig().Cable.QueueReply(Reply);
    std::vector<uint8_t> Buffer(Case.Requested, 0xEE);
    ULONG_PTR Moved = 99;
    EXPECT_EQ(Rig().Read(File, Buffer, &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Case.Sent);
    EXPECT_TRUE(std::equal(Reply.begin(), Reply.end(), Buffer.begin()));
    TUsbRequest Last = Rig().Bus.Transfers().back();
    EXPECT_EQ(Last.Endpoint, 0x81);
    EXPECT_EQ(Last.RequestedLength, Case.Requested);
    EXPECT_EQ(Last.TransferFlags, ULONG(USBD_SHORT_TRANSFER_OK | USBD_TRANSFER_DIRECTION_IN));
  }
  EXPECT_EQ(Rig().Bus.Transfers().size(), std::size(Cases));
  EXPECT_TRUE(IdleAgain(Rig()));
}

TEST_P(X86TransferTest, LongWritesGoOutAsStagesInOrderAndReportEveryByte) {
  struct TCase {
    ULONG Length;
    std::vector<ULONG> Stages;
  };
  const TCase Cases[] = {
      {9, {9}},
      {2048, {2048}},
      {2049, {2048, 1}},
      {4096, {2048, 2048}},
      {131072, std::vector<ULONG>(64, 2048)},
  };
  Start();
  size_t Seen = 0;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << Case.Length << " bytes");
    std::vector<uint8_t> Data = Pattern(Case.Length, uint8_t(Case.Length));
    ULONG_PTR Moved = 0;
    EXPECT_EQ(Rig().Write(File, Data, &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Case.Length);
    std::vector<ULONG> Stages = Lengths();
    EXPECT_EQ(std::vector<ULONG>(Stages.begin() + Seen, Stages.end()), Case.Stages);
    auto Written = Rig().Cable.Written();
    EXPECT_EQ(Joined({Written.begin() + Seen, Written.end()}), Data) << "bytes on the wire";
    Seen = Stages.size();
  }
  for (auto& Transfer : Rig().Bus.Transfers()) {
    EXPECT_EQ(Transfer.Endpoint, 0x02);
    EXPECT_EQ(Transfer.TransferFlags, ULONG(USBD_SHORT_TRANSFER_OK));
  }
  EXPECT_TRUE(IdleAgain(Rig()));
}

// A short packet ends what the cable sends for a stage. The bytes reported
// are the cable's and contiguous: the stages up to the first short one, never
// the caller's old bytes in the gap after it, nor what later stages received
// beyond the gap.
TEST_P(X86TransferTest, AStagedReadReportsOnlyTheCablesBytesUpToTheFirstShortStage) {
  struct TCase {
    const char* What;
    std::vector<size_t> Replies;   // what the cable sends for each stage
    size_t Reported;
  };
  const TCase Cases[] = {
      {"every stage full", {2048, 2048, 904}, 5000},
      {"the second stage short", {2048, 1000, 904}, 3048},
      {"the first stage empty", {0, 2048, 904}, 0},
      {"only the last stage short", {2048, 2048, 100}, 4196},
  };
  Start();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    std::vector<uint8_t> Sent;
    for (size_t Stage = 0; Stage < Case.Replies.size(); ++Stage) {
      std::vector<uint8_t> Reply = Pattern(Case.Replies[Stage], uint8_t(Stage + 1));
      Rig().Cable.QueueReply(Reply);
      Sent.insert(Sent.end(), Reply.begin(), Reply.end());
    }
    size_t Before = Lengths().size();
    std::vector<uint8_t> Buffer(5000, 0xEE);
    ULONG_PTR Moved = 0;
    EXPECT_EQ(Rig().Read(File, Buffer, &Moved), STATUS_SUCCESS);
    EXPECT_EQ(Moved, Case.Reported);
    std::vector<ULONG> Stages = Lengths();
    EXPECT_EQ(std::vector<ULONG>(Stages.begin() + long(Before), Stages.end()), (std::vector<ULONG>{2048, 2048, 904}));
    EXPECT_TRUE(std::equal(Sent.begin(), Sent.begin() + long(Case.Reported), Buffer.begin()))
        << "the reported bytes are what the cable sent, in order";
  }
  EXPECT_TRUE(IdleAgain(Rig()));
}

// A stage the bus fails fails the whole request: a pulled cable or a
// packet too long for the last stage is no success with fewer bytes.
TEST_P(X86TransferTest, AStagedRequestWithAFailedStageCompletesWithTheFailure) {
  struct TCase {
    const char* What;
    bool Reading;
    size_t Reply;   // bytes the cable has ready (reads)
    bool Pull;      // the cable is pulled while the rest waits
    NTSTATUS Status;
  };
  const TCase Cases[] = {
      {"a read, the cable pulled after the first stage", true, 2048, true, STATUS_DEVICE_NOT_CONNECTED},
      {"a read whose last stage overruns", true, 5100, false, STATUS_UNSUCCESSFUL},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TDriverRig R(ConfigFor(GetParam()));
    R.AddAndStart();
    TIoFile* Own = nullptr;
    ASSERT_EQ(R.Open(&Own), STATUS_SUCCESS);
    R.Cable.QueueReply(Pattern(Case.Reply));
    std::vector<uint8_t> Buffer(5000, 0xEE);
    ULONG_PTR Moved = 0;
    NTSTATUS Status = STATUS_PENDING;
    std::thread Reader([&] { Status = R.Read(Own, Buffer, &Moved); });
    if (Case.Pull) {
      EXPECT_TRUE(WaitUntil([&] { return R.Bus.WaitingTransfers() == 2; }));
      R.Bus.Unplug();
    }
    Reader.join();
    EXPECT_EQ(Status, Case.Status);
    EXPECT_LE(Moved, 5000u);
    TIoManager::Close(Own);
    EXPECT_TRUE(IdleAgain(R));
  }
}

TEST_P(X86TransferTest, RequestsBeyondSixtyFourStagesAreRefused) {
  Start();
  ULONG_PTR Moved = 99;
  std::vector<uint8_t> Buffer(131073);
  EXPECT_EQ(Rig().Write(File, Buffer, &Moved), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Rig().Read(File, Buffer, &Moved), STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(Rig().Bus.Transfers().empty());
  EXPECT_TRUE(IdleAgain(Rig()));
}

// One request of each kind at a time: the bookkeeping exists once, so a
// second one while the first waits for the cable is refused, not queued.
TEST_P(X86TransferTest, ASecondRequestOfTheSameKindWhileOneRunsIsRefusedAsBusy) {
  Start();
  for (size_t Length : {4096u, 64u}) {
    SCOPED_TRACE(testing::Message() << Length << " bytes");
    size_t Waiting = Length > 2048 ? 2 : 1;
    std::vector<uint8_t> First(Length);
    ULONG_PTR FirstMoved = 0;
    NTSTATUS FirstStatus = STATUS_UNSUCCESSFUL;
    std::thread Reader([&] { FirstStatus = Rig().Read(File, First, &FirstMoved); });
    ASSERT_TRUE(WaitUntil([&] { return Rig().Bus.WaitingTransfers() == Waiting; }));

    std::vector<uint8_t> Second(Length);
    ULONG_PTR Moved = 99;
    EXPECT_EQ(Rig().Read(File, Second, &Moved), STATUS_DEVICE_BUSY);
    EXPECT_EQ(Moved, 0u);

    for (size_t Stage = 0; Stage < Waiting; ++Stage) Rig().Cable.QueueReply(Pattern(Length / Waiting));
    Rig().Bus.ServicePending();
    Reader.join();
    EXPECT_EQ(FirstStatus, STATUS_SUCCESS);
    EXPECT_EQ(FirstMoved, Length);
  }
  EXPECT_TRUE(IdleAgain(Rig()));
}

// The staged bookkeeping is per direction: a staged read waiting for the
// cable on one handle must not refuse a staged write on another, or the
// command the cable would answer could never be sent.
TEST_P(X86TransferTest, AWaitingStagedReadDoesNotRefuseAnotherHandlesWrite) {
  struct TCase {
    size_t Read, Write;
  };
  const TCase Cases[] = {{5000, 4096}, {5000, 9}, {64, 4096}};
  Start();
  TIoFile* Other = nullptr;
  ASSERT_EQ(Rig().Open(&Other), STATUS_SUCCESS);
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(testing::Message() << "a read of " << Case.Read << ", a write of " << Case.Write);
    std::vector<uint8_t> Buffer(Case.Read);
    ULONG_PTR ReadBytes = 0;
    NTSTATUS ReadStatus = STATUS_PENDING;
    std::thread Reader([&] { ReadStatus = Rig().Read(File, Buffer, &ReadBytes); });
    EXPECT_TRUE(WaitUntil([&] { return Rig().Bus.WaitingTransfers() == (Case.Read + 2047) / 2048; }));
    std::vector<uint8_t> Data = Pattern(Case.Write, 9);
    ULONG_PTR Written = 0;
    EXPECT_EQ(Rig().Write(Other, Data, &Written), STATUS_SUCCESS);
    EXPECT_EQ(Written, Case.Write);
    std::vector<uint8_t> Reply = Pattern(Case.Read, 5);
    Rig().Cable.QueueReply(Reply);
    Rig().Bus.ServicePending();
    Reader.join();
    EXPECT_EQ(ReadStatus, STATUS_SUCCESS);
    EXPECT_EQ(ReadBytes, Case.Read);
    EXPECT_EQ(Buffer, Reply);
  }
  TIoManager::Close(Other);
  EXPECT_TRUE(IdleAgain(Rig()));
}

// A cancel (its program's, or its thread's end) that comes while the stages
// are still being sent: those sent are cancelled, and the rest must not go
// out after it, or they would wait for the cable with nobody to end them.
TEST_P(X86TransferTest, AStagedReadCancelledWhileItsStagesAreSentEndsCancelled) {
  Start();
  std::vector<uint8_t> Buffer(6144, 0xEE);
  std::atomic<bool> Done{false};
  NTSTATUS Status = STATUS_PENDING;
  ULONG_PTR Moved = 99;
  // The descriptors: the I/O manager's of the caller's buffer, the first
  // stage's, then the second stage's, before which the thread's requests are
  // cancelled.
  TKit::BeforeCall("IoAllocateMdl", 3, [] { TIoManager::CancelThreadIo(std::this_thread::get_id()); });
  std::thread Reader([&] {
    Status = TIoManager::Wait(TIoManager::StartRead(File, Buffer.data(), ULONG(Buffer.size())), &Moved);
    Done = true;
  });
  bool Ended = WaitUntil([&] { return Done.load(); });
  EXPECT_TRUE(Ended) << "stages sent after the cancel kept the read in the driver";
  if (!Ended) Rig().Bus.Unplug();   // frees the reader so the test can end
  Reader.join();
  TKit::BeforeCall("IoAllocateMdl", 0, nullptr);
  if (!Ended) return;
  EXPECT_EQ(Status, STATUS_CANCELLED);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Rig().Bus.WaitingTransfers(), 0u);
  EXPECT_TRUE(IdleAgain(Rig()));
  Rig().Cable.QueueReply({1, 2, 3, 4});
  std::vector<uint8_t> Reply(4);
  EXPECT_EQ(Rig().Read(File, Reply, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 4u);
}

TEST_P(X86TransferTest, SendingThatStopsEarlyReportsTheBytesOfTheStagesSent) {
  Start();
  // The stage array and the first stage's URB; the second stage's fails.
  TKit::FailPoolAfter(2);
  ULONG_PTR Moved = 0;
  EXPECT_EQ(Rig().Write(File, Pattern(6000), &Moved), STATUS_INSUFFICIENT_RESOURCES);
  TKit::FailPoolAfter(-1);
  EXPECT_EQ(Moved, 2048u);
  EXPECT_EQ(Lengths(), std::vector<ULONG>{2048});
  EXPECT_TRUE(IdleAgain(Rig()));
  EXPECT_EQ(Rig().Write(File, Pattern(6000), &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 6000u);
}

TEST_P(X86TransferTest, ZeroLengthRequestsAreOneEmptyTransfer) {
  Start();
  std::vector<uint8_t> Nothing;
  ULONG_PTR Moved = 99;
  EXPECT_EQ(Rig().Write(File, Nothing, &Moved), STATUS_SUCCESS);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Lengths(), std::vector<ULONG>{0});
  EXPECT_TRUE(Rig().Bus.Transfers()[0].NullBuffer);
}

// Host controllers may finish several transfers at once and report them in
// any order; the stages must add up all the same.
TEST_P(X86TransferTest, StagesCompletedLastFirstStillAddUpInTheCallersBuffer) {
  if (GetParam() != TUsbBus::TCompletion::Later) GTEST_SKIP() << "completions are held only by the bus's thread";
  Start();
  std::vector<std::vector<uint8_t>> Replies;
  for (uint8_t Stage = 0; Stage < 4; ++Stage) Replies.push_back(Pattern(2048, uint8_t(Stage * 40)));
  for (auto& Reply : Replies) Rig().Cable.QueueReply(Reply);

  for (bool Reading : {false, true}) {
    SCOPED_TRACE(Reading ? "read" : "write");
    Rig().Bus.HoldCompletions();
    std::vector<uint8_t> Buffer = Reading ? std::vector<uint8_t>(8192) : Pattern(8192);
    ULONG_PTR Moved = 0;
    NTSTATUS Status = STATUS_UNSUCCESSFUL;
    std::thread Sender([&] { Status = Reading ? Rig().Read(File, Buffer, &Moved) : Rig().Write(File, Buffer, &Moved); });
    ASSERT_TRUE(WaitUntil([&] { return Rig().Bus.HeldCompletions() == 4; }));
    Rig().Bus.ReleaseCompletions();
    Sender.join();
    EXPECT_EQ(Status, STATUS_SUCCESS);
    EXPECT_EQ(Moved, 8192u);
    if (Reading) {
      EXPECT_EQ(Buffer, Joined(Replies));
    }
  }
  EXPECT_EQ(Joined(Rig().Cable.Written()), Pattern(8192));
  EXPECT_TRUE(IdleAgain(Rig()));
}

}  // namespace

namespace {

// A transfer the bus fails is no success with fewer bytes: the caller gets
// the failure.
TEST_P(X86TransferTest, AFailedOneStageTransferCompletesWithItsFailure) {
  Start();
  Rig().Cable.QueueReply(Pattern(10));
  std::vector<uint8_t> Short(4);
  ULONG_PTR Moved = 99;
  EXPECT_EQ(Rig().Read(File, Short, &Moved), STATUS_UNSUCCESSFUL) << "the packet overran the buffer";
  Rig().Bus.Unplug();
  EXPECT_EQ(Rig().Write(File, Pattern(9), &Moved), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(Moved, 0u);
  EXPECT_EQ(Rig().Read(File, Short, &Moved), STATUS_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(Moved, 0u);
  EXPECT_TRUE(IdleAgain(Rig()));
}

}  // namespace
