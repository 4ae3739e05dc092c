#include "cli/InterruptWatch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

namespace {

constexpr char kSignalByte = 's';
constexpr char kQuitByte = 'q';
constexpr auto kSecondSignalWindow = std::chrono::seconds(2);

int g_pipe[2] = {-1, -1};
std::mutex g_wordsMutex;

void OnSignal(int) {
    const int saved = errno;
    const char byte = kSignalByte;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

void Install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
    if (pipe2(g_pipe, O_CLOEXEC) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // without a pipe the signals keep their default: the process ends at once
    }
    watcher_ = std::thread(&InterruptWatch::Watch, this);
    Install(OnSignal);
}

InterruptWatch::~InterruptWatch() {
    if (!watcher_.joinable()) {
        return;
    }
    Install(SIG_DFL);
    const char byte = kQuitByte;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    watcher_.join();
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void InterruptWatch::SetLastWords(std::string text) {
    std::lock_guard<std::mutex> hold(g_wordsMutex);
    lastWords_ = std::move(text);
}

void InterruptWatch::Watch() {
    std::chrono::steady_clock::time_point first;
    for (;;) {
        char byte = 0;
        const ssize_t got = read(g_pipe[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || byte == kQuitByte) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (interrupted_.load() && now - first <= kSecondSignalWindow) {
            {
                std::lock_guard<std::mutex> hold(g_wordsMutex);
                [[maybe_unused]] const ssize_t written =
                    write(STDERR_FILENO, lastWords_.data(), lastWords_.size());
            }
            _exit(130);
        }
        // A later signal, past the window, asks again; it opens a new window.
        first = now;
        interrupted_.store(true);
        onFirst_();
    }
}
