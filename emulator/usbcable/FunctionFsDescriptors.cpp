// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/usbcable/FunctionFsDescriptors.h"

#include <cstring>

#include <endian.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

namespace {

constexpr char InterfaceName[] = "Bridgewick Cable";

#pragma pack(push, 1)
struct TSpeedDescriptors {
  usb_interface_descriptor Interface;
  usb_endpoint_descriptor_no_audio Out;
  usb_endpoint_descriptor_no_audio In;
};

struct TDescriptorBlob {
  usb_functionfs_descs_head_v2 Head;
  uint32_t FullSpeedCount;
  uint32_t HighSpeedCount;
  TSpeedDescriptors FullSpeed;
  TSpeedDescriptors HighSpeed;
};

struct TStringBlob {
  usb_functionfs_strings_head Head;
  uint16_t Language;
  char Name[sizeof InterfaceName];
};
#pragma pack(pop)

TSpeedDescriptors SpeedDescriptors(uint16_t PacketSize) {
  TSpeedDescriptors Set{};
  Set.Interface.bLength = sizeof Set.Interface;
  Set.Interface.bDescriptorType = USB_DT_INTERFACE;
  Set.Interface.bNumEndpoints = 2;
  Set.Interface.bInterfaceClass = USB_CLASS_VENDOR_SPEC;
  Set.Interface.iInterface = 1;
  for (auto* Endpoint : {&Set.Out, &Set.In}) {
    Endpoint->bLength = sizeof *Endpoint;
    Endpoint->bDescriptorType = USB_DT_ENDPOINT;
    Endpoint->bmAttributes = USB_ENDPOINT_XFER_BULK;
    Endpoint->wMaxPacketSize = htole16(PacketSize);
  }
  Set.Out.bEndpointAddress = 0x02 | USB_DIR_OUT;
  Set.In.bEndpointAddress = 0x01 | USB_DIR_IN;
  return Set;
}

template <typename T>
std::vector<uint8_t> Bytes(const T& Value) {
  std::vector<uint8_t> Result(sizeof Value);
  std::memcpy(Result.data(), &Value, sizeof Value);
  return Result;
}

}  // namespace

std::vector<uint8_t> FunctionFsDescriptors() {
  TDescriptorBlob Blob{};
  Blob.Head.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  Blob.Head.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  Blob.Head.length = htole32(sizeof Blob);
  Blob.FullSpeedCount = htole32(3);
  Blob.HighSpeedCount = htole32(3);
  Blob.FullSpeed = SpeedDescriptors(64);
  Blob.HighSpeed = SpeedDescriptors(512);
  return Bytes(Blob);
}

std::vector<uint8_t> FunctionFsStrings() {
  TStringBlob Blob{};
  Blob.Head.magic = htole32(FUNCTIONFS_STRINGS_MAGIC);
  Blob.Head.length = htole32(sizeof Blob);
  Blob.Head.str_count = htole32(1);
  Blob.Head.lang_count = htole32(1);
  Blob.Language = htole16(0x0409);
  std::memcpy(Blob.Name, InterfaceName, sizeof InterfaceName);
  return Bytes(Blob);
}
