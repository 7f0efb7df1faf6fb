// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The folder that keeps the emulated card when --emulate names none:
// $XDG_DATA_HOME/flashquill/card, or ~/.local/share/flashquill/card when
// XDG_DATA_HOME is unset or not an absolute path. Only computed here; the card
// creates the folder when it first stores its files there.
std::string DefaultCardDir();
