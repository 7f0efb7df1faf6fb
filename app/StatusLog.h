// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
class TMainForm;

// When FLASHQUILL_STATUS_LOG names a file, every change of the two status
// panels' texts is appended there as "<panel>: <text>", so a script driving
// the window (the USB test machine's) can follow what the user would read.
void StartStatusLog(TMainForm& Form);
