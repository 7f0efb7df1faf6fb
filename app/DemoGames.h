// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>
#include <vector>

class TFrontEnd;

// The demo games the program carries (resources of type "KVQ"). Writes each
// into Folder, which must exist, and returns their file names; empty when the
// program carries none or they could not be written.
std::vector<std::string> ExtractDemoGames(TFrontEnd& FrontEnd, const std::string& Folder);
