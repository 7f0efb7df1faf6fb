// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Ctrl-C (SIGINT) asks the running operation to stop between two packets,
// as the window's Stop button does; the front end's message pump sees it.
// The first one only raises the flag; a second one ends the program at once,
// for a cable that no longer answers at all.
void InstallInterruptHandler();
bool Interrupted();
