#pragma once

// The platform's error numbers that the link code and the stand-in cable
// report in "Error Code: N".
#ifdef _WIN32
constexpr int kErrNoSuchDevice = 1167;   // ERROR_DEVICE_NOT_CONNECTED
constexpr int kErrTimedOut = 121;        // ERROR_SEM_TIMEOUT
constexpr int kErrNotOpen = 6;           // ERROR_INVALID_HANDLE
constexpr int kErrIo = 1117;             // ERROR_IO_DEVICE
constexpr int kErrInUse = 170;           // ERROR_BUSY: another program has the cable
#else
#include <cerrno>
constexpr int kErrNoSuchDevice = ENODEV;
constexpr int kErrTimedOut = ETIMEDOUT;
constexpr int kErrNotOpen = EBADF;
constexpr int kErrIo = EIO;
constexpr int kErrInUse = EBUSY;
#endif
