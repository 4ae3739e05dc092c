#pragma once

#include <windows.h>

#include <string>

// The system's folder chooser (IFileOpenDialog picking folders), starting in `start` when that
// folder exists; the chosen folder as UTF-8 with '/' separators, empty when the user cancels.
std::string ChooseFolder(HWND owner, const std::string& title, const std::string& start);
