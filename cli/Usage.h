#pragma once
#include <string>

struct TCommandSpec;

std::string ProgramUsage(const std::string& Program);
std::string CommandUsage(const std::string& Program, const TCommandSpec& Spec);
