#pragma once

#include <cstdint>

// The running system's version as the minimum-system check compares it: on Windows the
// Windows version itself (6.1 is Windows 7, 10.0 Windows 10 and 11), on Linux the kernel's
// major.minor. False when it cannot be read.
bool OsVersion(uint32_t& major, uint32_t& minor);
