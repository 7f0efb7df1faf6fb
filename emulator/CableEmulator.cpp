// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/CableEmulator.h"

#include <algorithm>
#include <cstring>

#include "core/link/LinkProtocol.h"
#include "core/link/PlatformErrors.h"

namespace {

constexpr size_t HeaderSize = sizeof(TLinkCommand);
constexpr size_t WritePacketSize = sizeof(TLinkWritePacket);
constexpr uint32_t MaxReadLength = 0xFFFF;

uint32_t BigEndian32(const uint8_t* Bytes) {
  return (uint32_t(Bytes[0]) << 24) | (uint32_t(Bytes[1]) << 16) | (uint32_t(Bytes[2]) << 8) | Bytes[3];
}

}  // namespace

bool TCableEmulator::ErasesBlockAt(uint32_t Address) { return (Address % TCard::FlashSize) % TCard::EraseBlockSize == 0; }

TFirmwareWork TCableEmulator::WorkOf(const uint8_t* Data, size_t Count) {
  TFirmwareWork Work;
  if (Count == 0 || !Data) return Work;
  const uint8_t Code = Data[0];
  if (Count == WritePacketSize && Code == cmdWriteRom) {
    const uint32_t Length = BigEndian32(Data + 5);
    if (Length < 1 || Length > LinkWriteChunk) return Work;
    Work.ProgramsFlash = true;
    Work.ErasesBlock = ErasesBlockAt(BigEndian32(Data + 1));
  } else if (Count == HeaderSize) {
    Work.Replies = Code == cmdChipId || Code == cmdReadRom || Code == cmdReadSram || Code == cmdGetPorts;
  }
  return Work;
}

TCableEmulator::TCableEmulator(TCard& Card) : FCard(Card) {
  std::fill(std::begin(FPorts), std::end(FPorts), PowerOnPortValue);
}

void TCableEmulator::Fail(int Error) { FErrors[std::this_thread::get_id()] = Error; }

// Every transfer first meets the plug: a cable that is not there moves nothing.
bool TCableEmulator::BeginTransfer() {
  if (!FPlugged) {
    Fail(kErrNoSuchDevice);
    return false;
  }
  return true;
}

// A transfer that reached the cable counts towards UnplugAfter, whether the
// firmware could serve it or not.
void TCableEmulator::EndTransfer() {
  if (FUnplugAfter > 0 && --FUnplugAfter == 0) DoUnplug();
}

void TCableEmulator::DoUnplug() {
  FUnplugAfter = -1;
  if (!FPlugged) return;
  FPlugged = false;
  FReply.clear();
  FReplyHead = 0;
  ++FDeviceChanges;
}

void TCableEmulator::Reply(const uint8_t* Data, size_t Count) {
  size_t Start = FReply.size();
  size_t Keep = Count;
  if (FShortReply) {
    Keep = std::min(Count, FShortReplyBytes);
    FShortReply = false;
  }
  FReply.insert(FReply.end(), Data, Data + Keep);
  if (FFlip) {
    if (FFlipOffset < Keep) FReply[Start + FFlipOffset] ^= FFlipMask;
    FFlip = false;
  }
}

// Carries out one well-formed command; false when the transfer is not one.
bool TCableEmulator::Execute(const uint8_t* Data, size_t Count) {
  if (Count != HeaderSize && Count != WritePacketSize) return false;
  const uint8_t Code = Data[0];
  const uint32_t Address = BigEndian32(Data + 1);
  const uint32_t Length = BigEndian32(Data + 5);
  const bool WriteCommand = Code == cmdWriteRom || Code == cmdWriteSram;
  if (WriteCommand != (Count == WritePacketSize)) return false;

  switch (Code) {
  case cmdChipId: {
    uint16_t Id = FCard.ChipId();
    const uint8_t Answer[4] = {uint8_t(Id & 0xFF), uint8_t(Id >> 8), 0x00, 0x00};
    Reply(Answer, sizeof Answer);
    return true;
  }
  case cmdReadRom:
  case cmdReadSram: {
    if (Length < 1 || Length > MaxReadLength) return false;
    // A read runs on past the chip's end at its start again: one wrap at
    // most, since a read is shorter than either memory.
    const uint8_t* Memory = Code == cmdReadRom ? FCard.Flash() : FCard.Sram();
    const uint32_t Size = Code == cmdReadRom ? TCard::FlashSize : TCard::SramSize;
    const uint32_t Start = Address % Size;
    const uint32_t First = std::min(Length, Size - Start);
    FScratch.resize(Length);
    std::memcpy(FScratch.data(), Memory + Start, First);
    std::memcpy(FScratch.data() + First, Memory, Length - First);
    if (FFlipAlternate && ++FReadsSeen % 2 == 0) {
      // A prime stride keeps the bad bit off any grid a reader might use.
      const unsigned long Turn = FReadsSeen / 2;
      FScratch[(Turn * 7919u) % Length] ^= static_cast<uint8_t>(1u << (Turn % 8));
    }
    Reply(FScratch.data(), Length);
    return true;
  }
  case cmdWriteRom:
    if (Length < 1 || Length > LinkWriteChunk) return false;
    // The firmware erases a block when a write starts at its first byte, so
    // an image written from its start needs no erase command of its own, while
    // writes elsewhere in a block program over what is there.
    if (ErasesBlockAt(Address)) FCard.EraseBlock(Address);
    for (uint32_t I = 0; I < Length; ++I) FCard.ProgramFlash(Address + I, Data[HeaderSize + I]);
    return true;
  case cmdWriteSram:
    if (Length < 1 || Length > LinkWriteChunk) return false;
    for (uint32_t I = 0; I < Length; ++I) FCard.WriteSram(Address + I, Data[HeaderSize + I]);
    return true;
  case cmdSelectPage:
    FCard.SetConsolePageBase(Address);
    return true;
  case cmdSetPorts:
    std::memcpy(FPorts, Data + 1, sizeof FPorts);
    return true;
  case cmdGetPorts:
    Reply(FPorts, sizeof FPorts);
    return true;
  default:
    return false;
  }
}

long TCableEmulator::BulkOut(const uint8_t* Data, size_t Count) {
  std::lock_guard<std::mutex> Lock(FMutex);
  if (!BeginTransfer()) return -1;
  if (FReply.size() - FReplyHead > MaxPendingReply) {
    Fail(kErrTimedOut);
    EndTransfer();
    return -1;
  }
  if (Count > 0 && !Execute(Data, Count)) ++FIgnored;
  if (FLogOn) FLog.push_back({false, std::vector<uint8_t>(Data, Data + Count)});
  EndTransfer();
  return static_cast<long>(Count);
}

long TCableEmulator::BulkIn(uint8_t* Data, size_t Count) {
  std::lock_guard<std::mutex> Lock(FMutex);
  if (!BeginTransfer()) return -1;
  size_t Pending = FReply.size() - FReplyHead;
  if (Pending == 0) {
    Fail(kErrTimedOut);
    EndTransfer();
    return -1;
  }
  size_t Moved = std::min(Count, Pending);
  std::memcpy(Data, FReply.data() + FReplyHead, Moved);
  if (FLogOn) FLog.push_back({true, std::vector<uint8_t>(Data, Data + Moved)});
  FReplyHead += Moved;
  if (FReplyHead == FReply.size()) {
    FReply.clear();
    FReplyHead = 0;
  }
  EndTransfer();
  return static_cast<long>(Moved);
}

int TCableEmulator::LastError() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  auto Found = FErrors.find(std::this_thread::get_id());
  return Found == FErrors.end() ? 0 : Found->second;
}

bool TCableEmulator::ReplyPending() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FReply.size() > FReplyHead;
}

void TCableEmulator::Unplug() {
  std::lock_guard<std::mutex> Lock(FMutex);
  DoUnplug();
}

void TCableEmulator::Plug() {
  std::lock_guard<std::mutex> Lock(FMutex);
  FUnplugAfter = -1;
  if (FPlugged) return;
  FPlugged = true;
  std::fill(std::begin(FPorts), std::end(FPorts), PowerOnPortValue);
  FReply.clear();
  FReplyHead = 0;
  ++FDeviceChanges;
}

bool TCableEmulator::Plugged() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FPlugged;
}

void TCableEmulator::UnplugAfter(long Transfers) {
  std::lock_guard<std::mutex> Lock(FMutex);
  if (Transfers == 0)
    DoUnplug();
  else
    FUnplugAfter = Transfers < 0 ? -1 : Transfers;
}

void TCableEmulator::ShortReplyOnce(size_t Bytes) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FShortReply = true;
  FShortReplyBytes = Bytes;
}

void TCableEmulator::FlipReadBitOnce(uint32_t Offset, uint8_t Mask) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FFlip = true;
  FFlipOffset = Offset;
  FFlipMask = Mask;
}

void TCableEmulator::FlipEverySecondRead(bool On) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FFlipAlternate = On;
  FReadsSeen = 0;
}

void TCableEmulator::EnableLog(bool On) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FLogOn = On;
}

std::vector<TTransfer> TCableEmulator::TakeLog() {
  std::lock_guard<std::mutex> Lock(FMutex);
  std::vector<TTransfer> Log;
  Log.swap(FLog);
  return Log;
}

const uint8_t* TCableEmulator::Ports() const { return FPorts; }

unsigned long TCableEmulator::IgnoredCommands() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FIgnored;
}

unsigned long TCableEmulator::DeviceChanges() const { return FDeviceChanges.load(); }

TCard& TCableEmulator::Card() { return FCard; }
