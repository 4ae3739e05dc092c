#pragma once

#include <string>

// Where the firmware files and the update log are when the program is not in a folder of its
// own (an installed program has no firmware beside it and may not write there).

// True when the folder (ending in '/'; empty: the working directory) holds a coder firmware.
bool HoldsCoderFirmware(const std::string& directory);

// $XDG_STATE_HOME/Orvane/TarvelinLog.txt (default ~/.local/state/Orvane/), its folder created;
// empty when it cannot be created.
std::string StateLogPath();

// The log beside the firmware files, or the state folder's when that folder cannot be
// written; empty when no place can be written.
std::string ChooseLogPath(const std::string& firmwareDirectory);
