#pragma once

#include <string>

// Where the firmware files and the update log are when the program is not in a folder of its
// own (an installed program has no firmware beside it and may not write there).

// True when the folder (ending in '/'; empty: the working directory) holds a coder firmware.
bool HoldsCoderFirmware(const std::string& directory);

// TarvelinLog.txt in the folder Orvane of the user's state folder (UserStateFolder:
// $XDG_STATE_HOME, default ~/.local/state/, on Linux; %LOCALAPPDATA% on Windows), the folder
// created; empty when it cannot be created or written.
std::string StateLogPath();

// The log beside the firmware files, or the state folder's when that folder cannot be
// written; empty when no place can be written.
std::string ChooseLogPath(const std::string& firmwareDirectory);
