#include "sim/DumpFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WriteDumpFile(const std::string& path, const void* data, size_t size, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    const int writeError = errno;
    // A full disk may only show when the buffer is flushed by fclose.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(written ? errno : writeError);
        return false;
    }
    return true;
}
