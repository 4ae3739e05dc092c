#include "console/SignalPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

static_assert(SIGHUP == kSignalHangUp && SIGINT == kSignalInterrupt && SIGTERM == kSignalTerminate);

namespace {

constexpr unsigned char kStopByte = 0;  // no signal has the number 0
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

// The handler can reach nothing but globals.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignalCount];
std::atomic<bool> g_active{false};

void OnSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
    if (g_active.exchange(true)) {
        error_ = "the signals are watched elsewhere in this program already";
        return;
    }
    // Both ends non-blocking: a handler must never wait for a reader.
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        g_pipe[0] = g_pipe[1] = -1;
        g_active = false;
        return;
    }
    for (size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &g_previous[i]);
        if (g_previous[i].sa_handler == SIG_IGN) {
            continue;  // meant not to reach us
        }
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &action, nullptr);
    }
    valid_ = true;
}

SignalPipe::~SignalPipe() {
    if (!valid_) {
        return;
    }
    Stop();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_active = false;
}

SystemHandle SignalPipe::Handle() const {
    return {valid_ ? g_pipe[0] : -1};
}

std::vector<int> SignalPipe::Take() {
    std::vector<int> numbers;
    if (!valid_) {
        return numbers;
    }
    unsigned char bytes[16];
    for (ssize_t n; (n = read(g_pipe[0], bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR);) {
        for (ssize_t k = 0; k < n; ++k) {
            if (bytes[k] != kStopByte) {
                numbers.push_back(bytes[k]);
            }
        }
    }
    return numbers;
}

int SignalPipe::Wait(std::optional<std::chrono::milliseconds> bound) {
    if (!valid_) {
        return 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound.value_or(std::chrono::hours(0));
    for (;;) {
        int timeout = -1;
        if (bound) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) {
                return 0;
            }
            timeout = static_cast<int>(left.count());
        }
        pollfd readable{g_pipe[0], POLLIN, 0};
        const int ready = poll(&readable, 1, timeout);
        if (ready == 0) {
            return 0;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 0;
        }
        unsigned char byte = kStopByte;
        const ssize_t got = read(g_pipe[0], &byte, 1);
        if (got == 1) {
            return byte;  // kStopByte after Stop()
        }
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            return 0;
        }
    }
}

void SignalPipe::Stop() {
    if (!valid_ || stopped_) {
        return;
    }
    stopped_ = true;
    for (size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    const unsigned char byte = kStopByte;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}
