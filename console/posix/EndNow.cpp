#include "console/EndNow.h"

#include <unistd.h>

#include <cerrno>

void WriteNow(std::FILE* stream, const std::string& bytes) {
    const int fd = stream == stdout ? STDOUT_FILENO : STDERR_FILENO;
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void EndProcessNow(int status) {
    _exit(status);
}
