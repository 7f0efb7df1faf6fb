// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// The size of the advanced read: one of the read-size list's items ("32K" ..
// "8192K(8M)", K and M meaning KiB and MiB), the short forms "1M" .. "8M" and
// "NK" for any N, or a byte count in decimal or after "0x"; at most
// MaxRawReadSize. False for anything else.
constexpr uint32_t MaxRawReadSize = 0x800000;
bool ParseSizeArgument(const std::string& Text, uint32_t& Bytes);
