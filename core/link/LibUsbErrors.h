// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The platform's error number for a libusb error code, so that a failed
// transfer on the USB transport reads "Error Code: N" like any other
// failure of the platform. 0 stays 0.
int LibUsbErrorToPlatform(int LibUsbError);

// The same for how an asynchronous transfer ended (a libusb_transfer_status);
// a completed transfer is 0.
int LibUsbTransferStatusToPlatform(int Status);
