// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

// The DAT file the window checks against, remembered between runs in the
// data folder ("dat-file" there: the path on one line). Nothing of a DAT
// ships with the program; the user points at one.
std::string LoadDatSetting();
// "" forgets it. False when it cannot be stored.
bool SaveDatSetting(const std::string& DatFile);
std::string DatSettingFile();
