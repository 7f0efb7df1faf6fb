// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "app/form/Controls.h"

// Colours the window's behaviour chooses; every binding shows them as given.
constexpr TColour TestStateColour{0, 0, 0};     // a stage of the factory test
constexpr TColour TestPassColour{0, 128, 0};    // its "OK"
constexpr TColour TestFailColour{255, 0, 0};    // its "FAILED"
// The captions of the Write and Read buttons.
constexpr TColour WriteButtonColour{255, 0, 0};
constexpr TColour ReadButtonColour{0, 0, 255};
