// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>

#include "core/link/LinkPort.h"

#ifdef _WIN32
// The cable through its Windows driver: the first present interface of
// LinkInterfaceGuid, found with the device-setup functions (resolved from
// "SetupApi.dll" when the port is made) and opened as a file for overlapped
// I/O: reads and single writes wait for their end, while the write engine
// may keep several writes in flight where the driver takes them.
std::unique_ptr<TLinkPort> MakeWindowsLinkPort();
#endif
