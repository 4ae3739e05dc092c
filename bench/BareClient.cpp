#include "bench/BareClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "uecp/FrameCodec.h"

BareClient::BareClient(int fd) : fd_(fd) {}

BareClient::~BareClient() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int BareClient::Exchange(const std::vector<uint8_t>& frame) {
    size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = write(fd_, frame.data() + done, frame.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    // Whatever came before a start byte is line noise; the answer runs from 0xFE to 0xFF.
    for (;;) {
        auto start = std::find(pending_.begin(), pending_.end(), kFrameStart);
        pending_.erase(pending_.begin(), start);
        auto stop = std::find(pending_.begin(), pending_.end(), kFrameStop);
        if (stop != pending_.end()) {
            const auto length = static_cast<int32_t>(stop - pending_.begin() + 1);
            received_ += static_cast<uint64_t>(length);
            const auto answer = ParseFrame(pending_.data(), length);
            pending_.erase(pending_.begin(), stop + 1);
            if (!answer->crcOk || answer->size < 2 || answer->bytes[0] != 0x18) {
                return -1;
            }
            return answer->bytes[1];
        }
        uint8_t buffer[256];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        pending_.insert(pending_.end(), buffer, buffer + n);
    }
}

int ConnectLoopbackBlocking(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenTtyBlocking(const char* path, uint32_t baud) {
    if (baud != 115200) {
        return -1;  // the only rate the benchmark drives
    }
    const int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        close(fd);
        return -1;
    }
    cfmakeraw(&line);
    line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    cfsetispeed(&line, B115200);
    cfsetospeed(&line, B115200);
    if (tcsetattr(fd, TCSANOW, &line) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}
