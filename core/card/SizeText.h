// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

// A byte count as the window shows sizes: kilobits ("##0K") below 128 KiB,
// negative counts included, else megabits ("##0M"). The quotient is rounded
// to a whole number, halves away from zero: 1000 gives "8K", 2 MiB + 32 KiB
// gives "16M", -32768 gives "-256K".
std::string SizeText(int32_t Bytes);
