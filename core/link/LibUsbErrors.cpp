// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/link/LibUsbErrors.h"

#include <cerrno>

#include <libusb.h>

#include "core/link/PlatformErrors.h"

int LibUsbErrorToPlatform(int LibUsbError) {
  switch (LibUsbError) {
    case LIBUSB_SUCCESS: return 0;
    case LIBUSB_ERROR_IO: return kErrIo;
    case LIBUSB_ERROR_INVALID_PARAM: return EINVAL;
    case LIBUSB_ERROR_ACCESS: return EACCES;
    case LIBUSB_ERROR_NO_DEVICE: return kErrNoSuchDevice;
    case LIBUSB_ERROR_NOT_FOUND: return ENOENT;
    case LIBUSB_ERROR_BUSY: return EBUSY;
    case LIBUSB_ERROR_TIMEOUT: return kErrTimedOut;
    case LIBUSB_ERROR_OVERFLOW: return EOVERFLOW;
    case LIBUSB_ERROR_PIPE: return EPIPE;
    case LIBUSB_ERROR_INTERRUPTED: return EINTR;
    case LIBUSB_ERROR_NO_MEM: return ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED: return ENOSYS;
    default: return kErrIo;
  }
}

int LibUsbTransferStatusToPlatform(int Status) {
  switch (Status) {
    case LIBUSB_TRANSFER_COMPLETED: return 0;
    case LIBUSB_TRANSFER_TIMED_OUT: return kErrTimedOut;
    case LIBUSB_TRANSFER_CANCELLED: return ECANCELED;
    case LIBUSB_TRANSFER_STALL: return EPIPE;
    case LIBUSB_TRANSFER_NO_DEVICE: return kErrNoSuchDevice;
    case LIBUSB_TRANSFER_OVERFLOW: return EOVERFLOW;
    default: return kErrIo;
  }
}
