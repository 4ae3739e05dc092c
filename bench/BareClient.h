#pragma once

#include <cstdint>
#include <vector>

// The baseline: one thread, one blocking descriptor (socket or tty), no queues and no hand-over
// between threads. Writes a prebuilt frame and reads until a whole frame has come back.
class BareClient {
public:
    // Takes ownership of `fd`, which must be in blocking mode.
    explicit BareClient(int fd);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Sends `frame` and returns the acknowledgement code of the frame that answers it; -1 when
    // the line failed or the answer was no acknowledgement.
    int Exchange(const std::vector<uint8_t>& frame);
    // Stuffed bytes of the answers read so far.
    uint64_t BytesReceived() const { return received_; }

private:
    int fd_;
    uint64_t received_ = 0;
    std::vector<uint8_t> pending_;  // bytes read past the end of the last answer
};

// A blocking loopback TCP connection to `port`; -1 on failure.
int ConnectLoopbackBlocking(uint16_t port);
// Opens a tty in blocking raw mode at `baud` 8N1 (VMIN 1); -1 on failure.
int OpenTtyBlocking(const char* path, uint32_t baud);
