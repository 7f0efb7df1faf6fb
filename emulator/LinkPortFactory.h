#pragma once
#include <memory>
#include <string>

#include "core/link/LinkOptions.h"
#include "core/link/LinkPort.h"

// The transport the command-line options ask for: the emulated cable over the
// card kept in the chosen folder (--emulate), else the real cable over USB;
// traced to a file when --trace is given. Returns nullptr with Error set to a
// text for the user when the transport cannot be set up (a card folder that
// cannot be used, a trace file that cannot be created); it throws nothing.
std::unique_ptr<TLinkPort> MakeLinkPort(const TLinkOptions& Options, std::string& Error);
