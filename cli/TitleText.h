// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// Card titles are raw header bytes; these show them safely. Both take the
// bytes as Latin-1, as the window does.

// For a terminal or a log: UTF-8, with control characters (which could
// move the cursor or change the terminal's state) shown as "?".
std::string DisplayTitle(const std::string& Title);
// A JSON string literal, quotes included: UTF-8 with quote, backslash and
// control characters escaped.
std::string JsonString(const std::string& Title);
// The title as UTF-8 text (each byte a Latin-1 character), control
// characters kept, for a JSON writer that escapes them itself.
std::string TitleUtf8(const std::string& Title);
// The same for text that is UTF-8 already (paths, DAT names): only quote,
// backslash and control characters are escaped.
std::string JsonText(const std::string& Text);
