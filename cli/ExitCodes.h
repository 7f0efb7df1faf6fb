// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What flashquill-cli's exit status tells a script.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;        // link error, refused file, verify mismatch, FAILED test
constexpr int ExitUsage = 2;         // the command line itself is wrong
constexpr int ExitInterrupted = 130; // stopped by Ctrl-C, as a shell reports SIGINT
