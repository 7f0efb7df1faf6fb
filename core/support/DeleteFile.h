// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// Deletes Name, trying up to Tries + 1 rounds with a 1 ms pause after each
// attempt (a file still open elsewhere may refuse for a moment). True as
// soon as no file of that name exists; false for a negative Tries and when
// the rounds run out, without a last look after the final attempt.
bool DeleteFileWait(const std::string& Name, int Tries);
