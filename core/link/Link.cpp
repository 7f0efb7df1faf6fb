// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/Link.h"

#include <string>

#include "core/FrontEnd.h"

namespace {

constexpr long HeaderSize = sizeof(TLinkCommand);

}  // namespace

TLink::TLink(TLinkPort& Port, TSharedState& State, TFrontEnd& FrontEnd)
    : FPort(Port), FState(State), FFrontEnd(FrontEnd) {}

intptr_t TLink::OpenLink() {
  const intptr_t Handle = FPort.Open();
  if (Handle == -1) {
    // The one failure with more to say than its error number replaces the
    // window caption; nothing restores it.
    const std::string Detail = FPort.OpenFailureDetail();
    if (!Detail.empty()) FFrontEnd.SetWindowCaption(Detail);
  }
  return Handle;
}

bool TLink::Reconnect() {
  // A handle about to close takes no transfers with it.
  FWrites.Cancel();
  if (FLinkHandle != 0) {
    FPort.Close();
    FLinkHandle = 0;
  }
  const intptr_t Handle = OpenLink();
  // The handle field never holds the invalid value: a failed open is "no
  // link", the same as never having opened one.
  FLinkHandle = Handle == -1 || Handle == 0 ? 0 : Handle;
  return FLinkHandle != 0;
}

uint16_t TLink::ReadChipId() {
  FWrites.Settle();
  const TLinkCommand Command = MakeLinkCommand(cmdChipId, 0, 0);
  uint8_t Reply[4] = {0, 0, 0, 0};
  if (FPort.Write(reinterpret_cast<const uint8_t*>(&Command), HeaderSize) != HeaderSize ||
      FPort.Read(Reply, sizeof Reply) != static_cast<long>(sizeof Reply)) {
    ReportLinkError();
    // No answer is no chip: 0 is never the known chip's identifier.
    return 0;
  }
  FFrontEnd.SetStatusText(1, "");
  return static_cast<uint16_t>(Reply[0] + 256 * Reply[1]);
}

bool TLink::ReadBlock(int32_t Address, uint16_t Count, uint8_t Code, uint8_t* Buffer) {
  if (FLinkHandle <= 0) return false;
  // A zero count would leave a read with no reply on the wire: refused
  // before anything is sent.
  if (Count == 0 || !Buffer) return false;
  FWrites.Settle();
  const uint32_t Wire = static_cast<uint32_t>(Address) + FState.PageBase;
  const TLinkCommand Command = MakeLinkCommand(Code, Wire, Count);
  if (FPort.Write(reinterpret_cast<const uint8_t*>(&Command), HeaderSize) == HeaderSize &&
      FPort.Read(Buffer, Count) == static_cast<long>(Count))
    return true;
  ReportLinkError();
  FState.Operating = false;
  return false;
}

void TLink::SelectPage(uint32_t Base) {
  FWrites.Settle();
  const TLinkCommand Command = MakeLinkCommand(cmdSelectPage, Base, 0);
  (void)FPort.Write(reinterpret_cast<const uint8_t*>(&Command), HeaderSize);
}

void TLink::WritePorts(const uint8_t Values[8]) {
  FWrites.Settle();
  uint8_t Packet[HeaderSize];
  Packet[0] = cmdSetPorts;
  for (int I = 0; I < 8; ++I) Packet[1 + I] = Values[I];
  if (FPort.Write(Packet, HeaderSize) != HeaderSize) ReportLinkError();
}

void TLink::ReadPorts(uint8_t Buffer[8]) {
  FWrites.Settle();
  const TLinkCommand Command = MakeLinkCommand(cmdGetPorts, 0, 0);
  if (FPort.Write(reinterpret_cast<const uint8_t*>(&Command), HeaderSize) != HeaderSize ||
      FPort.Read(Buffer, 8) != 8)
    ReportLinkError();
}

bool TLink::SendWritePacket(const TLinkWritePacket& Packet) { return FWrites.Send(Packet); }

bool TLink::FinishWrites() { return FWrites.Finish(); }

void TLink::ReportLinkError() { FFrontEnd.SetStatusText(1, "Error Code: " + std::to_string(FPort.LastError())); }

void TLink::ReportWriteError() {
  const int Error = FWrites.FailureError();
  if (Error == 0) return ReportLinkError();
  FFrontEnd.SetStatusText(1, "Error Code: " + std::to_string(Error));
}

TLink::TIdentity TLink::IdentifyChip() {
  FState.CardCapacity = 0;
  TIdentity Identity;
  if (FLinkHandle != 0) {
    Identity.Asked = true;
    Identity.Id = ReadChipId();
    Identity.Chip = FindChip(Identity.Id);
    if (Identity.Chip) FState.CardCapacity = Identity.Chip->Capacity;
  }
  return Identity;
}
