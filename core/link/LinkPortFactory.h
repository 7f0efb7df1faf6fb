// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <memory>
#include <string>

#include "core/link/LinkOptions.h"
#include "core/link/LinkPort.h"

// The transport the command-line options ask for: the emulated cable over the
// card kept in the chosen folder (--emulate), else the real cable over USB;
// traced to a file when --trace is given. Returns nullptr with Error set to a
// text for the user when the transport cannot be set up (a card folder that
// cannot be used or is in use by another program, a trace file that cannot
// be created); it throws nothing.
//
// The emulated card is locked for as long as the port lives (TCardLock): a
// second program on the same card folder is refused. A folder named with
// --emulate=DIR is made only when its parent exists, so a mistyped path is an
// error rather than a fresh blank card; Notice, when given, receives one line
// when a new card was made.
std::unique_ptr<TLinkPort> MakeLinkPort(const TLinkOptions& Options, std::string& Error,
                                        std::string* Notice = nullptr);
