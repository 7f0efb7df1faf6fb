#pragma once
#include <string>
#include <vector>

// The name under which a game read from the card is saved: its header title
// (raw bytes, taken as Latin-1) with every character a file name cannot hold
// on either platform replaced by "_", trailing dots and blanks dropped, a
// device name of Windows ("CON", "LPT1", ...) prefixed with "_", and
// GameFileFallbackName when nothing is left; then Extension (".GB" when
// several games go into one folder, ".gb" for a single game). Outside Windows
// the title's bytes above 127 become their UTF-8 characters, as the window
// shows them; on Windows they stay the system code page's bytes.
constexpr const char* GameFileFallbackName = "Untitled";
std::string GameFileName(const std::string& Title, const std::string& Extension);

// The names of several games read into one folder, in order: GameFileName
// of each title, and a name already given in this run (compared without
// regard to case, as Windows and many disks do) gets " (2)", " (3)", ...
// before the extension, so no game of the run replaces another.
std::vector<std::string> GameFileNames(const std::vector<std::string>& Titles, const std::string& Extension);
