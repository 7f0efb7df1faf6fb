// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <vector>

// What flashquill-cable writes to FunctionFS's ep0 before the gadget can be
// bound: one vendor-specific interface with a bulk OUT and a bulk IN endpoint,
// for full and high speed, and the interface's name. The endpoint numbers are
// the ones the cable has (0x02 OUT, 0x81 IN); the controller may hand out
// others, which is why the host reads them from the descriptors.
std::vector<uint8_t> FunctionFsDescriptors();
std::vector<uint8_t> FunctionFsStrings();

// The order of the endpoint files FunctionFS creates next to ep0.
constexpr const char* CableOutEndpointFile = "ep1";
constexpr const char* CableInEndpointFile = "ep2";
