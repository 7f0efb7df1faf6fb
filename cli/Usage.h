// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

struct TCommandInfo;

std::string ProgramUsage(const std::string& Program);
std::string CommandUsage(const std::string& Program, const TCommandInfo& Command);
