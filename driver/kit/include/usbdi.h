// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The USB driver interface: request blocks and the hub's internal controls.
#include "usb.h"
#include "usbioctl.h"
