// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Greys out a panel and everything on it while an operation runs (or while
// no usable card is there), and brings it back afterwards. The panel's own
// state and look first, then each control directly on it through
// SetControlTreeEnabled.
void SetPanelEnabled(QWidget* Panel, bool Enable);
// A control's enabled state and look; panels and group boxes pass the same
// on to each of their child controls, in child order, all the way down.
void SetControlTreeEnabled(QWidget* Control, bool Enable);
// Labels and check boxes follow the state; edit-like controls (line edits,
// combo boxes, list views, spin boxes, text edits) get the window background
// when enabled and the button face when not, so the whole panel reads as
// inactive.
void SetControlLook(QWidget* Control, bool Enable);
