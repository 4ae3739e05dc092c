#pragma once

#include <cstddef>
#include <string>

// Writes `size` bytes as the whole file `path`; false and a reason with the system's (errno
// text) when it cannot be opened, written or closed.
bool WriteDumpFile(const std::string& path, const void* data, size_t size, std::string& error);
