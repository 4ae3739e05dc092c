#include "update/ExecutablePath.h"

#include <unistd.h>

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}
