#pragma once

#include <cstdio>
#include <string>

// Creates or empties the file at `path` (UTF-8) for writing bytes as they are. Others may read
// it while it is written, and it may be renamed while open (the next run keeps it as the
// previous log). Not inherited by child processes. Null when it cannot be opened.
std::FILE* OpenLogFileStream(const std::string& path);
