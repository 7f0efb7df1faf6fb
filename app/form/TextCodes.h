// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// Bytes shown one character per byte (Latin-1) as the controls' UTF-8 text,
// and back: a game title keeps every byte of its header, none turned into a
// replacement mark.
std::string BytesAsText(const std::string& Bytes);
// Characters above 0xFF (which no title holds) become '?'.
std::string TextAsBytes(const std::string& Text);
