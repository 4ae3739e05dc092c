#pragma once

#include <string>

// The per-user folder for files a program keeps between runs without being asked, ending in
// '/': $XDG_STATE_HOME (default ~/.local/state/) on Linux, %LOCALAPPDATA% on Windows. Empty when
// the system names none.
std::string UserStateFolder();

// True when this process may create files in `folder` (empty: the working directory).
bool FolderIsWritable(const std::string& folder);

// The same, with the system's words for why not; empty when it may.
std::string FolderWriteProblem(const std::string& folder);
